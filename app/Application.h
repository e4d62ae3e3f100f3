// Everything a running Zumo is made of, wired together in start-up order and torn down in
// reverse: the settings store and log, the X11 desktop, the window inventory and actions, the
// switcher and its key handler, the shell's windows and tray, the link to the maker's service,
// the control socket, and the delegate that runs the launch sequence over them.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "control/ControlClaim.h"

namespace zumo {

namespace wayland {
class WindowList;
}

class Application {
public:
    // loginLaunch: started from the autostart entry, so no window opens by itself.
    // wayland: use a Wayland backend (wlroots compositors, or GNOME Shell's extension when the
    // session is GNOME's) instead of X11.
    // claim: the one-instance claim main took before anything else; its socket is served.
    Application(bool loginLaunch, bool wayland, ControlClaim claim);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Connects to the desktop and asks for consent or starts the app. On failure returns false and
    // sets error to a sentence the user can act on. Main thread, after the Qt application exists.
    bool start(QString& error);
    // Calls ready once, as soon as the main shortcut is Zumo's (at once when it already is):
    // another program may hold it at start and let go later. After start().
    void whenReady(std::function<void()> ready);
    // Sends "quit", saves pending settings and log lines; once, when the event loop ends.
    void shutdown();

private:
    bool openX11(QString& error);
    bool openWayland(QString& error);
    bool openGnome(QString& error);
    void overlayWindowParts();
    const wayland::WindowList* waylandWindowList() const;
    void announceReady();
    void buildSwitcher();
    void buildShell();
    void startControlSocket();

    struct Parts;
    std::unique_ptr<Parts> d;
};

} // namespace zumo
