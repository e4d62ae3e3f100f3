#include "app/Application.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSysInfo>
#include <cstdio>
#include <unistd.h>

#include "app/ExitSave.h"
#include "platform/Clock.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/x11/X11Desktop.h"
#include "settings/Migration.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "shell/ControlRequests.h"
#include "shell/ControlServer.h"
#include "stats/Counters.h"
#include "panel/SwitcherPanels.h"
#include "switcher/Switcher.h"
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

    std::unique_ptr<X11Desktop> x11;

    std::unique_ptr<Inventory> inventory;
    std::unique_ptr<DesktopActions> actions;
    Subscription appActivated;
    NoUpdateReminder reminder;
    std::unique_ptr<SwitcherPanels> panels;
    std::unique_ptr<Switcher> switcher;
    std::unique_ptr<Tap> tap;
    std::unique_ptr<ControlRequests> requests;
    std::unique_ptr<ControlServer> control;
};

Application::Application() : d(std::make_unique<Parts>()) {}

Application::~Application()
{
    disarmExitSave();
    shutdown();
    installAppLog(nullptr);
}

bool Application::start(QString& error)
{
    Parts& p = *d;
    p.log = std::make_unique<EventLog>(chooseLogDirectory(p.store, privateBaseDirectory()), p.clock);
    installAppLog(p.log.get());
    appLog(startLine());

    p.x11 = X11Desktop::open(p.dispatcher, Pid(getpid()), error);
    if (!p.x11)
        return false;
    X11Desktop& x = *p.x11;
    armExitSave(p.store, p.log.get(), x.connection->xcb());
    x.connection->setLostHandler([] {
        tellServerLost();
        QCoreApplication::exit(1);
    });

    migrateFromEarlierBundle({p.store, *x.workspace, p.clock, SettingsStore::defaultPath(QStringLiteral("com.wendle.app")),
                              &runLoopFor});
    p.counters.statsMaintenanceAtLaunch();
    p.slots.rebuildSlots(p.settings);

    p.inventory = std::make_unique<Inventory>(*x.workspace, *x.accessibility, *x.windowServer, p.clock,
                                              inventoryPrefs(p.settings));
    p.actions = std::make_unique<DesktopActions>(*p.inventory, *x.workspace, *x.accessibility, *x.windowServer,
                                                 *x.screens);
    p.appActivated = x.workspace->activated.subscribe(
        [inventory = p.inventory.get()](const RunningApp& app) { inventory->noteAppUsed(app.pid); });
    // The window stack already tells which applications were used last; starting from it makes
    // the first switch after launch go to the previously used window, as every later one does.
    for (const X11Window& window : x.model->snapshot()->windows)
        p.inventory->noteAppUsed(window.owner);
    if (auto front = x.workspace->frontmostApplication())
        p.inventory->noteAppUsed(front->pid);

    p.panels = std::make_unique<SwitcherPanels>(p.settings);
    p.panels->setTranslucent(x.permissions->compositorRunning());
    p.panels->warmUp();
    p.switcher = std::make_unique<Switcher>(SwitcherDeps{p.settings, p.counters, p.dispatcher, *x.workspace,
                                                         *x.screens, *x.permissions, *p.inventory, *p.actions,
                                                         p.reminder, *p.panels});

    p.tap = std::make_unique<Tap>(*p.switcher, *x.hook, p.slots, p.settings, p.counters, *x.permissions, p.clock);
    if (!p.tap->start()) {
        error = QStringLiteral("Zumo could not watch the keyboard on this display, so it cannot open the switcher.");
        return false;
    }
    startControlSocket();
    return true;
}

// Without the socket the switcher still works; scripts and a second launch cannot reach it.
void Application::startControlSocket()
{
    Parts& p = *d;
    X11Desktop* x = p.x11.get();
    p.requests = std::make_unique<ControlRequests>(ControlDeps{
        p.dispatcher, p.settings, *x->workspace, *p.inventory, *p.actions, [x] { x->sync(); },
        [x](std::uint32_t window) { return x->desktopOf(window); }});
    ControlRequests* requests = p.requests.get();
    p.control = std::make_unique<ControlServer>(
        p.dispatcher, [requests](const ControlRequest& request, ControlServer::Respond respond) {
            requests->handle(request, std::move(respond));
        });
    QString error;
    if (!p.control->listen(controlSocketPath(), error)) {
        appLog(error);
        std::fprintf(stderr, "zumo: %s\n", qPrintable(error));
        p.control.reset();
    }
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
