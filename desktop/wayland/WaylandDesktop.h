// The Wayland desktop as one bundle: Zumo's own connection, the toplevel list, the overlay
// surface and every platform part the application composes, built in dependency order.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "desktop/wayland/KWinScreenShot.h"
#include "desktop/wayland/KWinScript.h"
#include "desktop/wayland/KWinShortcuts.h"
#include "desktop/wayland/KWinWindows.h"
#include "desktop/wayland/LayerOverlay.h"
#include "desktop/wayland/SwayBindings.h"
#include "desktop/wayland/Toplevels.h"
#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandKeyboardHook.h"
#include "desktop/wayland/WaylandPanels.h"
#include "desktop/wayland/WaylandScreens.h"
#include "desktop/wayland/WaylandWindows.h"

namespace zumo {

class Settings;

// Members are destroyed in reverse order, so nothing outlives what it uses. Main thread.
struct WaylandDesktop {
    // Connects to $WAYLAND_DISPLAY. Null, with error set to a sentence the user can act on, when
    // no compositor answers or it lacks the window list or the layer shell. The window list is
    // the foreign-toplevel one, or on KWin Zumo's script loaded into it. settings must outlive
    // the bundle.
    static std::unique_ptr<WaylandDesktop> open(const Settings& settings, QString& error);

    // Returns once every event the compositor sent before the call has been handled.
    void sync();
    // Gives KWin back the keys taken from it and unloads the script; the switcher stops working.
    // At quit, while the log still takes lines.
    void letGoOfKWin();
    // The virtual desktop a window is on, from 0 as on X11; nothing for a window on all of them
    // or where the compositor does not say (wlroots).
    std::optional<std::uint32_t> desktopOf(std::uint32_t window) const;
    // The window list, with window images where the compositor gives them.
    WindowServer* windowServer() const;

    std::unique_ptr<wayland::WaylandConnection> connection;
    std::unique_ptr<wayland::WindowList> toplevels;
    wayland::KWinWindows* kwin = nullptr;  // toplevels, on KWin
    std::unique_ptr<wayland::KWinScript> kwinScript;
    std::unique_ptr<wayland::BusGlobalShortcuts> globalShortcuts;
    std::unique_ptr<wayland::KWinShortcuts> kwinShortcuts;  // gives back its keys before the script goes
    std::unique_ptr<wayland::WaylandWindows> windows;
    std::unique_ptr<wayland::KWinWindowServer> kwinCaptures;  // on KWin
    std::unique_ptr<wayland::WaylandScreens> screens;
    wayland::WaylandPermissions permissions;
    std::unique_ptr<wayland::LayerOverlay> overlay;
    std::unique_ptr<wayland::WaylandKeyboardHook> hook;
    std::unique_ptr<wayland::WaylandPanels> panels;
    std::unique_ptr<wayland::SwayBindings> swayBindings;  // only on sway
};

} // namespace zumo
