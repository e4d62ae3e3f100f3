// Builds the Wayland desktop bundle and refuses a compositor that lacks what Zumo needs.
#include "desktop/wayland/WaylandDesktop.h"

#include "settings/Settings.h"
#include "desktop/wayland/WaylandSession.h"

namespace zumo {

using namespace wayland;

namespace {

// The output holding the middle of frame; null when none does.
wl_output* outputAt(const WaylandConnection& connection, const QRect& frame)
{
    for (const Output& o : connection.outputs())
        if (o.frame.contains(frame.center()))
            return o.output;
    return nullptr;
}

// KWin offers no window list to other programs: Zumo's script inside it sends one over D-Bus.
bool openKWin(WaylandDesktop& d, SettingsStore& store, QString& error)
{
    auto kwin = std::make_unique<KWinWindows>(
        [connection = d.connection.get()](const QRect& frame) { return outputAt(*connection, frame); });
    if (!kwin->listen(error))
        return false;
    d.kwin = kwin.get();
    d.toplevels = std::move(kwin);
    d.kwinScript = std::make_unique<KWinScript>();
    if (!d.kwinScript->load(error))
        return false;
    // The script sends its list first, then asks for requests: the sync's answer comes after it.
    d.kwin->sync();
    d.globalShortcuts = std::make_unique<BusGlobalShortcuts>();
    d.kwinShortcuts = std::make_unique<KWinShortcuts>(store, *d.globalShortcuts);
    // What a run that crashed left taken; the application takes the keys once it can ask.
    d.kwinShortcuts->giveBack();
    return true;
}

} // namespace

std::unique_ptr<WaylandDesktop> WaylandDesktop::open(const Settings& settings, QString& error)
{
    auto desktop = std::make_unique<WaylandDesktop>();
    WaylandDesktop& d = *desktop;
    d.connection = WaylandConnection::open(error);
    if (!d.connection)
        return nullptr;
    auto toplevels = std::make_unique<Toplevels>(*d.connection);
    if (toplevels->available())
        d.toplevels = std::move(toplevels);
    else if (kwinRunning() && !openKWin(d, settings.store(), error))
        return nullptr;
    const auto missing = missingProtocolsMessage(d.toplevels != nullptr, d.connection->layerShell() != nullptr,
                                                 qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    if (missing) {
        error = *missing;
        return nullptr;
    }
    // The overlay is made now and kept: its configure round is done before the first run.
    d.overlay = std::make_unique<LayerOverlay>(*d.connection, [toplevels = d.toplevels.get()]() -> wl_output* {
        const auto snapshot = toplevels->snapshot();
        const Toplevel* active = snapshot->active();
        return active ? active->output : nullptr;
    });
    // The toplevels present now and the overlay's configure arrive with the next round trip, so
    // the first switch has them.
    d.connection->roundTrip();
    d.windows = std::make_unique<WaylandWindows>(*d.toplevels);
    d.permissions.movable = d.toplevels->movable();
    if (d.kwin) {
        d.kwinCaptures = std::make_unique<KWinWindowServer>(*d.windows, *d.toplevels);
        d.permissions.captures = true;
    }
    d.screens = std::make_unique<WaylandScreens>(*d.connection, *d.toplevels);
    d.hook = std::make_unique<WaylandKeyboardHook>(*d.connection, *d.overlay);
    d.panels = std::make_unique<WaylandPanels>(settings, *d.connection, *d.overlay, [hook = d.hook.get()] { hook->panelsHidden(); });
    if (d.kwin) {
        d.kwin->shortcutPressed = [hook = d.hook.get()](std::size_t shortcut, bool reverse) { hook->trigger(reverse, shortcut); };
        // KWin keeps the overlay active when it stops asking for the keyboard: after a cancel the
        // user would type into nothing.
        d.hook->keyboardTaken = [kwin = d.kwin] { kwin->keyboardTaken(); };
        d.hook->keyboardLetGo = [kwin = d.kwin] { kwin->keyboardLetGo(); };
    }
    d.swayBindings = std::make_unique<SwayBindings>(
        [hook = d.hook.get()](const SwayTrigger& trigger) { hook->triggerKeys(trigger.reverse, trigger.keys); });
    if (d.kwin)
        d.hook->afterBindings = [kwin = d.kwin](std::function<void()> done) { kwin->afterPosted(std::move(done)); };
    else if (d.swayBindings->connected())
        d.hook->afterBindings = [sway = d.swayBindings.get()](std::function<void()> done) {
            sway->afterBindings(std::move(done));
        };
    return desktop;
}

void WaylandDesktop::sync()
{
    // The compositor sends a toplevel's "done" from an idle callback after the request that
    // changed it; the second round trip comes after that callback.
    connection->roundTrip();
    connection->roundTrip();
    if (kwin)
        kwin->sync();
}

void WaylandDesktop::letGoOfKWin()
{
    kwinShortcuts.reset();
    kwinScript.reset();
}

WindowServer* WaylandDesktop::windowServer() const
{
    return kwinCaptures ? static_cast<WindowServer*>(kwinCaptures.get()) : windows.get();
}

std::optional<std::uint32_t> WaylandDesktop::desktopOf(std::uint32_t window) const
{
    const auto snapshot = toplevels->snapshot();
    const Toplevel* t = snapshot->find(window);
    if (!t || t->desktop == 0)
        return std::nullopt;
    return t->desktop - 1;
}

} // namespace zumo
