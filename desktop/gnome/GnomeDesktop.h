// The GNOME Shell desktop as one bundle: the link to Zumo's Shell extension and every platform
// part the application composes from it, built in dependency order. The window queries and
// are mostly the Wayland backend's, over the extension's window list.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "desktop/gnome/GnomeAccessibility.h"
#include "desktop/gnome/GnomeKeyboardHook.h"
#include "desktop/gnome/GnomePanels.h"
#include "desktop/gnome/GnomeScreens.h"
#include "desktop/gnome/GnomeWindowServer.h"
#include "desktop/gnome/ShellBridge.h"
#include "desktop/gnome/ShellWindows.h"
#include "desktop/wayland/WaylandWindows.h"

namespace zumo {

class Settings;

// Members are destroyed in reverse order, so nothing outlives what it uses. Main thread.
struct GnomeDesktop {
    // Null, with error set, only when there is no session bus. A missing or disabled extension
    // is told once on standard error and in the log, and Zumo waits for it. settings must
    // outlive the bundle.
    static std::unique_ptr<GnomeDesktop> open(const Settings& settings, QString& error);

    // Returns once every change the extension saw before the call is in the window list.
    void sync();
    // Calls ready now or once the extension answers (the shortcut is Zumo's from then on).
    void whenAnswering(std::function<void()> ready);

    std::unique_ptr<gnome::ShellBridge> bridge;
    std::unique_ptr<gnome::ShellWindows> toplevels;
    std::unique_ptr<wayland::WaylandWindows> windows;
    std::unique_ptr<gnome::GnomeAccessibility> accessibility;
    std::unique_ptr<gnome::GnomeWindowServer> windowServer;
    gnome::GnomePermissions permissions;
    std::unique_ptr<gnome::GnomeKeyboardHook> hook;
    std::unique_ptr<gnome::GnomeScreens> screens;
    std::unique_ptr<gnome::GnomePanels> panels;
    Subscription presence;
    Subscription answering;
};

} // namespace zumo
