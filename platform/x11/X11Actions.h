// Requests to the window manager on behalf of the user: activate, minimise, close, move and
// resize. Callable from any thread; the messages go out from the main thread, in call order.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/Workspace.h"

namespace zumo::x11 {

class X11WindowModel;

class X11Actions {
public:
    // Main thread; the model must outlive this.
    explicit X11Actions(X11WindowModel& model);

    // Brings the window to the front (un-minimising it, switching desktop when it is elsewhere).
    // Requests made within one turn of the event loop send a single _NET_ACTIVE_WINDOW for the
    // last window asked for; an application-level request does not replace a window of the same
    // application asked for in that turn.
    void activateWindow(std::uint32_t window);
    // Activates the application's topmost window; nothing when it has none.
    void activateApp(Pid owner);
    // Brings back every minimised window of the application, bottom to top.
    void restoreApp(Pid owner);
    // WM_CHANGE_STATE to IconicState.
    void minimise(std::uint32_t window);
    // A polite close (_NET_CLOSE_WINDOW): the application may ask the user first.
    void close(std::uint32_t window);
    // Moves and/or resizes so the outer frame (decoration included) lands on the values given.
    // A maximised window is un-maximised first, since window managers ignore moves of those.
    void moveResizeFrame(std::uint32_t window, std::optional<QPoint> framePosition, std::optional<QSize> frameSize);

private:
    struct PendingActivation {
        std::uint32_t window = 0;  // 0: resolve the owner's topmost window when sending
        Pid owner = 0;
    };
    void onMain(std::function<void()> fn);
    void schedule(PendingActivation activation, bool replaceSameOwner);
    void sendActivation();
    void sendActive(std::uint32_t window);
    Pid ownerOf(std::uint32_t window) const;

    X11WindowModel& m_model;
    QObject m_context;  // lives on the main thread; queued work is delivered through it
    std::mutex m_mutex;
    std::optional<PendingActivation> m_pending;
};

} // namespace zumo::x11
