#include "app/Application.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSysInfo>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/atspi/AtspiParts.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Actions.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyboardHook.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11WindowModel.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"
#include "settings/Migration.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "stats/Counters.h"
#include "switcher/Switcher.h"
#include "switcher/SwitcherPanel.h"
#include "switcher/Tap.h"
#include "switcher/UpdateReminder.h"
#include "telemetry/EventLog.h"
#include "inventory/DesktopActions.h"
#include "inventory/Inventory.h"
#include "inventory/InventoryPrefs.h"

namespace zumo {

using namespace x11;

namespace {

const QString OwnDomain = QStringLiteral("com.zumo.app");

// Lets the event loop run for a while, for waits that must keep the desktop responsive.
void runLoopFor(double seconds)
{
    QDeadlineTimer deadline(qint64(seconds * 1000));
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(std::max<qint64>(1, deadline.remainingTime())));
}

QString startLine()
{
    return QStringLiteral("start zumo %1 os=%2 arch=%3")
        .arg(QStringLiteral(ZUMO_VERSION), QSysInfo::prettyProductName(), QSysInfo::buildCpuArchitecture());
}

} // namespace

// Declared in dependency order; members are destroyed in reverse, so nothing outlives what it uses.
struct Application::Parts {
    SystemClock clock;
    QtDispatcher dispatcher;
    SettingsStore store{SettingsStore::defaultPath(OwnDomain), &dispatcher};
    Settings settings{store};
    std::unique_ptr<EventLog> log;
    Counters counters{store, clock};
    ActiveSlots slots;

    std::unique_ptr<atspi::AtspiParts> parts;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11WindowModel> model;
    std::unique_ptr<X11Actions> x11Actions;
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11Accessibility> accessibility;
    std::unique_ptr<X11WindowServer> windowServer;
    std::unique_ptr<X11Screens> screens;
    std::unique_ptr<X11Permissions> permissions;

    std::unique_ptr<Inventory> inventory;
    std::unique_ptr<DesktopActions> actions;
    NoUpdateReminder reminder;
    std::unique_ptr<Switcher> switcher;
    std::unique_ptr<X11KeyboardHook> hook;
    std::unique_ptr<Tap> tap;
};

Application::Application() : d(std::make_unique<Parts>()) {}

Application::~Application()
{
    shutdown();
    installAppLog(nullptr);
}

bool Application::start(QString& error)
{
    Parts& p = *d;
    p.log = std::make_unique<EventLog>(chooseLogDirectory(p.store, privateBaseDirectory()), p.clock);
    installAppLog(p.log.get());
    appLog(startLine());

    p.connection = X11Connection::open(error);
    if (!p.connection)
        return false;
    p.model = std::make_unique<X11WindowModel>(*p.connection, Pid(getpid()));
    p.x11Actions = std::make_unique<X11Actions>(*p.model);
    p.workspace = std::make_unique<X11Workspace>(*p.model, *p.x11Actions);
    // A hung application is left alone as long as the tabs it did not give are remembered.
    p.parts = std::make_unique<atspi::AtspiParts>(p.clock, TabCollector::maxAge);
    // Chromium-based browsers publish their tabs only to assistive technology: announce it, but
    // only for a user who asked for tabs.
    if (p.settings.listTabs())
        p.parts->announceAssistiveTech();
    p.accessibility = std::make_unique<X11Accessibility>(*p.model, *p.x11Actions, p.parts.get());
    p.windowServer = std::make_unique<X11WindowServer>(*p.model, p.connection->displayName());
    p.screens = std::make_unique<X11Screens>(*p.model);
    p.permissions = std::make_unique<X11Permissions>(p.connection.get());

    migrateFromEarlierBundle({p.store, *p.workspace, p.clock, SettingsStore::defaultPath(QStringLiteral("com.wendle.app")),
                              &runLoopFor});
    p.counters.statsMaintenanceAtLaunch();
    p.slots.rebuildSlots(p.settings);

    p.inventory = std::make_unique<Inventory>(*p.workspace, *p.accessibility, *p.windowServer, p.clock,
                                              inventoryPrefs(p.settings));
    p.actions = std::make_unique<DesktopActions>(*p.inventory, *p.workspace, *p.accessibility, *p.windowServer,
                                                 *p.screens);
    p.workspace->onActivated = [inventory = p.inventory.get()](const RunningApp& app) {
        inventory->noteAppUsed(app.pid);
    };
    // The window stack already tells which applications were used last; starting from it makes
    // the first switch after launch go to the previously used window, as every later one does.
    for (const X11Window& window : p.model->snapshot()->windows)
        p.inventory->noteAppUsed(window.owner);
    if (auto front = p.workspace->frontmostApplication())
        p.inventory->noteAppUsed(front->pid);

    p.switcher = std::make_unique<Switcher>(SwitcherDeps{p.settings, p.counters, p.dispatcher, *p.workspace,
                                                         *p.screens, *p.permissions, *p.inventory, *p.actions,
                                                         p.reminder});
    p.switcher->panel().setTranslucent(p.permissions->compositorRunning());
    p.switcher->panel().warmUp();

    p.hook = std::make_unique<X11KeyboardHook>(p.dispatcher, p.connection->displayName());
    p.tap = std::make_unique<Tap>(*p.switcher, *p.hook, p.slots, p.settings, p.counters, *p.permissions, p.clock);
    if (!p.tap->start()) {
        error = QStringLiteral("Zumo could not watch the keyboard on this display, so it cannot open the switcher.");
        return false;
    }
    return true;
}

void Application::shutdown()
{
    if (d->tap)
        d->tap->stop();
    d->store.flush();
    if (d->log)
        d->log->drain();
}

} // namespace zumo
