// Everything a running Zumo is made of, wired together in start-up order and torn down in
// reverse: the settings store and log, the X11 desktop, the window inventory and actions, the
// switcher and its key handler, and the control socket.
#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace zumo {

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Connects to the desktop and starts watching the keyboard. On failure returns false and
    // sets error to a sentence the user can act on. Main thread, after the Qt application exists.
    bool start(QString& error);
    // Calls ready once, as soon as the main shortcut is Zumo's (at once when it already is):
    // another program may hold it at start and let go later. After start().
    void whenReady(std::function<void()> ready);
    // Saves pending settings and log lines; called when the event loop ends.
    void shutdown();

private:
    void startControlSocket();

    struct Parts;
    std::unique_ptr<Parts> d;
};

} // namespace zumo
