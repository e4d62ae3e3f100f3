#include "app/Application.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "app/AppDelegate.h"
#include "app/ExitSave.h"
#include "app/ShellAdapters.h"
#include "app/KWinShortcutConflict.h"
#include "app/ShortcutConflict.h"
#include "shell/StatusMenu.h"
#include "shell/TapHookControl.h"
#include "app/UpdateLink.h"
#include "app/VendorLink.h"
#include "platform/Clock.h"
#include "desktop/atspi/AtspiParts.h"
#include "desktop/atspi/AtspiStatus.h"
#include "desktop/atspi/PartsOverlay.h"
#include "platform/PrivateDirectory.h"
#include "desktop/qt/QtDispatcher.h"
#include "desktop/x11/PanelWindowControl.h"
#include "desktop/x11/X11AppCatalog.h"
#include "desktop/gnome/GnomeDesktop.h"
#include "desktop/gnome/GnomeSetup.h"
#include "desktop/wayland/WaylandDesktop.h"
#include "desktop/x11/X11Desktop.h"
#include "settings/Migration.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "windows/AppInfo.h"
#include "windows/AppWindows.h"
#include "control/ControlRequests.h"
#include "control/ControlServer.h"
#include "stats/Counters.h"
#include "panel/SwitcherPanels.h"
#include "switcher/Switcher.h"
#include "switcher/Tap.h"
#include "update/UpdateNudge.h"
#include "telemetry/Diagnostics.h"
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

// Tabs are asked for by "listTabs" and by an extra shortcut that lists browser tabs.
bool tabsWanted(const Settings& settings)
{
    const std::vector<Slot> slots = buildSlots(settings);
    return settings.listTabs() ||
           std::any_of(slots.begin(), slots.end(), [](const Slot& slot) { return slot.filter == SlotFilter::tabs; });
}

SessionCounts countApplications(const Workspace& workspace)
{
    SessionCounts counts;
    for (const RunningApp& app : workspace.runningApplications())
        ++(app.regular ? counts.regularApps : counts.backgroundApps);
    return counts;
}

} // namespace

// The platform parts everything else is built on, from whichever desktop runs.
struct DesktopSeam {
    Workspace* workspace = nullptr;
    Accessibility* accessibility = nullptr;
    WindowServer* windowServer = nullptr;
    Screens* screens = nullptr;
    Permissions* permissions = nullptr;
    KeyboardHook* hook = nullptr;
    RunPanels* panels = nullptr;
    bool compositor = false;
    std::function<void()> sync;
    std::function<std::optional<std::uint32_t>(std::uint32_t)> desktopOf;
    std::function<std::vector<HookShortcut>()> takenShortcuts;
    std::function<QString()> keyboardLayout;  // empty where the desktop cannot tell
};

// Declared in dependency order; members are destroyed in reverse, so nothing outlives what it uses.
struct Application::Parts {
    bool loginLaunch = false;
    bool onWayland = false;
    ControlClaim claim;
    SystemClock clock;
    QtDispatcher dispatcher;
    SettingsStore store{SettingsStore::defaultPath(OwnDomain), &dispatcher};
    Settings settings{store};
    std::unique_ptr<EventLog> log;
    Counters counters{store, clock};
    ActiveSlots slots;

    std::unique_ptr<atspi::AtspiParts> parts;
    std::unique_ptr<atspi::AtspiStatus> accessibility;
    Subscription tabsTurnedOn;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<WaylandDesktop> wayland;
    std::unique_ptr<GnomeDesktop> gnome;
    std::unique_ptr<atspi::PartsOverlay> windowParts;  // the windows' tabs, over the desktop's reads
    DesktopSeam seam;

    std::unique_ptr<Inventory> inventory;
    std::unique_ptr<DesktopActions> actions;
    Subscription appActivated;
    RemoteUpdateConfig updateConfig;
    RemoteAnnouncements announcements;  // reaches the remote configuration once the link exists
    std::unique_ptr<UpdateNudge> reminder;
    std::unique_ptr<SwitcherPanels> panels;
    std::unique_ptr<Switcher> switcher;
    std::unique_ptr<Tap> tap;

    X11AppCatalog catalog;
    AutostartLoginItem loginItem{QCoreApplication::applicationFilePath()};
    std::unique_ptr<TapHookControl> hookControl;
    std::unique_ptr<AppWindows> windows;
    std::unique_ptr<AppWindowsSettingsLink> settingsLink;
    std::unique_ptr<VendorLink> vendor;
    std::unique_ptr<UpdateLink> update;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<ShortcutConflict> conflict;  // X11 only
    std::unique_ptr<KWinShortcutConflict> kwinConflict;  // KWin only
    Subscription conflictConsent;

    Subscription shortcutsTaken;
    std::unique_ptr<ControlRequests> requests;
    Subscription showSettings;
    Subscription checkUpdates;
    std::unique_ptr<ControlServer> control;
    bool shutDown = false;
};

Application::Application(bool loginLaunch, bool wayland, ControlClaim claim) : d(std::make_unique<Parts>())
{
    d->loginLaunch = loginLaunch;
    d->onWayland = wayland;
    d->claim = std::move(claim);
}

Application::~Application()
{
    // Qt may still call exit() while the shutdown turns the event loop (its X connection broke):
    // the exit save stays armed until everything is saved.
    shutdown();
    disarmExitSave();
    installAppLog(nullptr);
}

bool Application::start(QString& error)
{
    Parts& p = *d;
    p.log = std::make_unique<EventLog>(chooseLogDirectory(p.store, privateBaseDirectory()), p.clock);
    installAppLog(p.log.get());
    startDiagnostics(DiagnosticsSetup{p.log->directory()}, p.dispatcher);

    // A hung application is left alone as long as the tabs it did not give are remembered.
    p.parts = std::make_unique<atspi::AtspiParts>(p.clock, TabCollector::maxAge);
    // Browsers publish their tabs only while accessibility is on: it is turned on for a user who
    // asks for tabs and put back when they are off again. Called at every start, this also puts
    // back what a run that crashed left on.
    const QString base = privateBaseDirectory();
    p.accessibility = std::make_unique<atspi::AtspiStatus>(
        p.parts->bus(), base.isEmpty() ? QString() : base + QStringLiteral("/accessibility-changed.json"));
    p.accessibility->setWanted(tabsWanted(p.settings));
    p.tabsTurnedOn = p.store.changed.subscribe([&p](const QString&) { p.accessibility->setWanted(tabsWanted(p.settings)); });
    if (!(p.onWayland ? openWayland(error) : openX11(error)))
        return false;
    overlayWindowParts();
    // A value changed in the file while Zumo runs (consent taken away, a setting edited by hand)
    // applies at once, and no save writes the old one back.
    p.store.watchDisk();
    migrateFromEarlierBundle({p.store, *p.seam.workspace, p.clock,
                              SettingsStore::defaultPath(QStringLiteral("com.wendle.app")), &runLoopFor});
    p.slots.rebuildSlots(p.settings);
    buildSwitcher();
    buildShell();
    startControlSocket();
    p.delegate->didFinishLaunching();
    return true;
}

bool Application::openX11(QString& error)
{
    Parts& p = *d;
    p.x11 = X11Desktop::open(p.dispatcher, error);
    if (!p.x11)
        return false;
    X11Desktop* x = p.x11.get();
    armExitSave(p.store, p.log.get(), x->connection->xcb());
    // A shutdown through the event loop would give Qt the turn in which it looks at its own
    // broken connection and calls exit() in the middle of it.
    x->connection->setLostHandler([] { endForLostServer(); });
    p.panels = std::make_unique<SwitcherPanels>(p.settings);
    p.seam = {x->workspace.get(), x->accessibility.get(), x->windowServer.get(), x->screens.get(), x->permissions.get(),
              x->hook.get(), p.panels.get(), x->permissions->compositorRunning(), [x] { x->sync(); },
              [x](std::uint32_t window) { return x->desktopOf(window); },
              [x] { return x->hook->takenShortcuts(); }, [x] { return x->hook->activeLayout(); }};
    p.panels->setTranslucent(p.seam.compositor);
    const x11::PanelWindowControl control = x11::panelWindowControl();
    const auto forPanel = [](const x11::WindowSwitch& change) -> SwitcherPanel::WindowSwitch {
        if (!change)
            return {};
        return [change](WId window, bool on) { change(std::uint32_t(window), on); };
    };
    // A compositor already draws every window whole.
    p.panels->setNativeControls(
        {p.seam.compositor ? nullptr : forPanel(control.drawOffscreen), forPanel(control.passPointer),
         forPanel(control.paintOnceAtMap)});
    // The panel unmaps once the window manager has focused the chosen window, or it would redraw
    // everything the panel covered first.
    p.panels->setHideGate([actions = x->actions.get()](std::function<void()> hideNow) {
        actions->afterAnswered(std::move(hideNow), std::chrono::milliseconds(100));
    });
    return true;
}

bool Application::openWayland(QString& error)
{
    Parts& p = *d;
    if (gnome::isGnomeShell(qEnvironmentVariable("XDG_CURRENT_DESKTOP")))
        return openGnome(error);
    p.wayland = WaylandDesktop::open(p.settings, error);
    if (!p.wayland)
        return false;
    WaylandDesktop* w = p.wayland.get();
    w->connection->setLostHandler([] { QCoreApplication::exit(1); });
    p.seam = {w->windows.get(), w->windows.get(), w->windowServer(), w->screens.get(), &w->permissions,
              w->hook.get(), w->panels.get(), true, [w] { w->sync(); },
              [w](std::uint32_t window) { return w->desktopOf(window); },
              [parts = d.get()] { return parts->kwinConflict ? parts->kwinConflict->taken() : std::vector<HookShortcut>(); },
              {}};
    return true;
}

bool Application::openGnome(QString& error)
{
    Parts& p = *d;
    p.gnome = GnomeDesktop::open(p.settings, error);
    if (!p.gnome)
        return false;
    GnomeDesktop* g = p.gnome.get();
    p.seam = {g->windows.get(), g->accessibility.get(), g->windowServer.get(), g->screens.get(), &g->permissions,
              g->hook.get(), g->panels.get(), true, [g] { g->sync(); },
              [g](std::uint32_t window) { return g->toplevels->desktopOf(window); },
              [] { return std::vector<HookShortcut>(); }, {}};
    return true;
}

// The desktops know windows, not what is inside them: a window's tabs are found on the
// accessibility bus by its process and title.
void Application::overlayWindowParts()
{
    Parts& p = *d;
    atspi::PartsOverlay::FactsOf factsOf;
    if (p.x11)
        factsOf = [ax = p.x11->accessibility.get()](ElementRef element) { return ax->facts(element); };
    else
        factsOf = [w = p.gnome ? p.gnome->windows.get() : p.wayland->windows.get()](ElementRef element) {
            return w->facts(element);
        };
    p.windowParts = std::make_unique<atspi::PartsOverlay>(*p.seam.accessibility, *p.parts, std::move(factsOf));
    p.seam.accessibility = p.windowParts.get();
}

const wayland::WindowList* Application::waylandWindowList() const
{
    if (d->gnome)
        return d->gnome->toplevels.get();
    return d->wayland ? d->wayland->toplevels.get() : nullptr;
}

void Application::buildSwitcher()
{
    Parts& p = *d;
    DesktopSeam& x = p.seam;
    p.inventory = std::make_unique<Inventory>(*x.workspace, *x.accessibility, *x.windowServer, p.clock,
                                              inventoryPrefs(p.settings));
    p.actions = std::make_unique<DesktopActions>(*p.inventory, *x.workspace, *x.accessibility, *x.windowServer,
                                                 *x.screens);
    p.appActivated = x.workspace->activated.subscribe(
        [inventory = p.inventory.get()](const RunningApp& app) { inventory->noteAppUsed(app.pid); });
    // The window stack already tells which applications were used last; starting from it makes
    // the first switch after launch go to the previously used window, as every later one does.
    if (p.x11) {
        const auto snapshot = p.x11->model->snapshot();
        for (const auto& window : snapshot->windows)
            p.inventory->noteAppUsed(window->owner);
    }
    // Wayland gives the windows most recently used first.
    if (const wayland::WindowList* toplevels = waylandWindowList()) {
        const auto windows = toplevels->snapshot()->windows;
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            p.inventory->noteAppUsed(it->pid);
    }
    if (auto front = x.workspace->frontmostApplication())
        p.inventory->noteAppUsed(front->pid);

    // The notice line: the remote announcement first, then the reminder of an available update.
    Parts* parts = &p;
    auto available = [parts]() -> std::optional<Updater::Release> {
        if (!parts->update)
            return std::nullopt;
        return parts->update->checker.availableRelease();
    };
    p.reminder = std::make_unique<UpdateNudge>(
        NudgeDeps{p.store, p.clock, p.counters, p.updateConfig, p.announcements, available});
    p.switcher = std::make_unique<Switcher>(SwitcherDeps{p.settings, p.counters, p.dispatcher, *x.workspace,
                                                         *x.screens, *x.permissions, *p.inventory, *p.actions,
                                                         *p.reminder, *x.panels});
    p.tap = std::make_unique<Tap>(*p.switcher, *x.hook, p.slots, p.settings, p.counters, *x.permissions, p.clock);
    p.switcher->prepare();
}

// The tray, the windows and the link to the maker's service; nothing shows or is sent until the
// delegate's launch sequence runs.
void Application::buildShell()
{
    Parts& p = *d;
    DesktopSeam& x = p.seam;
    p.hookControl = std::make_unique<TapHookControl>(*p.tap, *x.hook);
    Parts* parts = &p;
    p.windows = std::make_unique<AppWindows>(AppWindowsDeps{
        p.store, p.settings, p.slots, p.counters, p.dispatcher, p.clock, *x.workspace, p.catalog, *x.permissions,
        &p.loginItem, [hook = x.hook] { return hook->enabled(); }, x.takenShortcuts,
        [parts] { parts->delegate->checkForUpdates(true); }, askWithMessageBox,
        [parts] {
            if (parts->kwinConflict)
                return parts->kwinConflict->holding();
            return parts->conflict ? parts->conflict->holding() : ShortcutHolding{};
        }});
    p.settingsLink = std::make_unique<AppWindowsSettingsLink>(*p.windows);

    SessionFacts session{[parts] { return parts->loginItem.enabled(); },
                         [workspace = x.workspace] { return countApplications(*workspace); },
                         x.permissions, p.loginLaunch, {}, x.keyboardLayout};
    p.vendor = std::make_unique<VendorLink>(VendorLinkDeps{p.store, p.settings, p.counters, p.clock, p.dispatcher,
                                                           p.log->directory(), [log = p.log.get()] { log->drain(); },
                                                           std::move(session)});
    p.announcements.remote = &p.vendor->remote;
    p.update = std::make_unique<UpdateLink>(UpdateLinkDeps{p.settings, p.counters, p.clock, p.dispatcher,
                                                           p.vendor->http, p.updateConfig, appVersion()});
    p.delegate = std::make_unique<AppDelegate>(AppDelegateDeps{
        p.store, p.settings, p.counters, p.clock, p.dispatcher, *x.permissions, *x.workspace,
        x.compositor,
        *p.hookControl, *p.windows, *p.settingsLink, *p.vendor, p.update->checker, p.loginLaunch,
        [this] { announceReady(); }});
    if (p.x11)
        p.conflict = std::make_unique<ShortcutConflict>(ShortcutConflictDeps{
            p.store, *p.x11, *p.windows, [parts] { return parts->delegate ? &parts->delegate->menu().tray() : nullptr; }});
    if (p.conflict)
        p.conflictConsent = p.windows->settingsChanged.subscribe([c = p.conflict.get()] { c->consentChanged(); });
    if (p.wayland && p.wayland->kwinShortcuts) {
        p.kwinConflict = std::make_unique<KWinShortcutConflict>(KWinShortcutConflictDeps{
            *p.wayland->kwinShortcuts, p.slots, *p.windows,
            [parts] { return parts->delegate ? &parts->delegate->menu().tray() : nullptr; }});
        p.conflictConsent = p.windows->settingsChanged.subscribe([c = p.kwinConflict.get()] { c->consentChanged(); });
    }
}

// Without the socket the switcher still works; scripts and a second launch cannot reach it.
void Application::startControlSocket()
{
    Parts& p = *d;
    wayland::WaylandKeyboardHook* trigger = p.wayland ? p.wayland->hook.get() : nullptr;
    // A run committed while its entries were still being built is not handled yet: a sync lands it.
    auto sync = [platform = p.seam.sync, switcher = p.switcher.get()] {
        platform();
        switcher->landPendingCommit();
    };
    p.requests = std::make_unique<ControlRequests>(ControlDeps{
        p.dispatcher, p.settings, *p.seam.workspace, *p.inventory, *p.actions, sync, p.seam.desktopOf,
        trigger ? std::function<bool(bool, const HookShortcut&)>(
                      [trigger](bool reverse, const HookShortcut& keys) { return trigger->triggerKeys(reverse, keys); })
                : nullptr,
        [delegate = p.delegate.get()] { return delegate->mayReachVendor(); }});
    p.showSettings = p.requests->showSettingsRequested.subscribe(
        [delegate = p.delegate.get()] { delegate->showRequested(); });
    p.checkUpdates = p.requests->checkUpdatesRequested.subscribe(
        [delegate = p.delegate.get()] { delegate->checkForUpdates(true); });
    ControlRequests* requests = p.requests.get();
    p.control = std::make_unique<ControlServer>(
        p.dispatcher, [requests](const ControlRequest& request, ControlServer::Respond respond) {
            requests->handle(request, std::move(respond));
        });
    // A server that could not listen keeps the claim's lock, so no second Zumo starts meanwhile.
    QString error;
    if (!p.control->listen(std::move(p.claim), error)) {
        appLog(error);
        std::fprintf(stderr, "zumo: %s\n", qPrintable(error));
    }
}

// "switcher ready" only while the main shortcut is Zumo's: another program may hold it for now.
void Application::announceReady()
{
    if (d->gnome)
        return d->gnome->whenAnswering([] {
            std::printf("zumo: switcher ready - hold Alt and press Tab\n");
            std::fflush(stdout);
        });
    // On KWin the script's shortcut opens it, once KWin's task switcher has let go of the key.
    if (d->kwinConflict) {
        d->kwinConflict->check();
        d->dispatcher.post([conflict = d->kwinConflict.get()] { conflict->offer(); });
        std::printf("zumo: switcher ready - hold Alt and press Tab\n");
        std::fflush(stdout);
        return;
    }
    if (d->wayland) {
        std::printf("zumo: switcher ready - the compositor's Alt+Tab binding opens it (zumo --print-config)\n");
        std::fflush(stdout);
        return;
    }
    X11KeyboardHook* hook = d->x11 ? d->x11->hook.get() : nullptr;
    if (hook && !hook->enabled())
        std::fprintf(stderr, "zumo: waiting - cannot watch the keyboard on this display yet; trying again every "
                             "half second\n");
    auto ready = [] {
        std::printf("zumo: switcher ready - hold Alt and press Tab\n");
        std::fflush(stdout);
    };
    if (!d->conflict)
        return whenReady(ready);
    // Who holds a taken shortcut goes to standard error, the log and the tray; the question
    // whether to free it waits until the launch is over. A key the window manager binds too is
    // not ready before that check let go of it.
    d->dispatcher.post([this, ready, conflict = d->conflict.get()] {
        conflict->check();
        whenReady(ready);
    });
}

void Application::whenReady(std::function<void()> ready)
{
    // On Wayland the compositor owns the shortcut: ready as soon as the trigger can arrive.
    if (d->wayland)
        return ready();
    if (d->gnome)
        return d->gnome->whenAnswering(std::move(ready));
    X11KeyboardHook* hook = d->x11 ? d->x11->hook.get() : nullptr;
    if (!hook)
        return;
    if (hook->mainShortcutHeld()) {
        ready();
        return;
    }
    d->shortcutsTaken = hook->takenChanged.subscribe([this, hook, ready = std::move(ready)] {
        if (!hook->mainShortcutHeld())
            return;
        ready();
        d->dispatcher.post([this] { d->shortcutsTaken = {}; });
    });
}

void Application::shutdown()
{
    if (d->shutDown)
        return;
    d->shutDown = true;
    // The shutdown turns event loops of its own: no download or install goes on in them.
    if (d->update)
        d->update->installer.stop();
    if (d->delegate)
        d->delegate->terminate();
    if (d->tap)
        d->tap->stop();
    // Entry builds, captures and snaps use the parts about to go.
    d->dispatcher.finishBackground();
    if (d->conflict)
        d->conflict->giveBack();
    if (d->kwinConflict) {
        d->conflictConsent = {};
        d->kwinConflict.reset();
    }
    if (d->wayland)
        d->wayland->letGoOfKWin();
    if (d->accessibility)
        d->accessibility->setWanted(false);
    d->store.flush();
    if (d->log)
        d->log->drain();
}

} // namespace zumo
