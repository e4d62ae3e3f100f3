// Requests to the window manager on behalf of the user: activate, minimise, close, move and
// resize. Callable from any thread; the messages go out from the main thread, in call order.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Workspace.h"
#include "desktop/x11/InputTime.h"

namespace zumo::x11 {

class X11WindowModel;
struct DesktopSnapshot;

using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;
// The user's latest key and button events, as far as this program read them.
using InputStamps = std::function<std::vector<std::optional<InputStamp>>()>;

// The last activation asked of the window manager. Activation on X11 is a request: the model
// shows the new active window only once the window manager has acted and its _NET_ACTIVE_WINDOW
// change has come back, so until then the window that was in front still looks frontmost.
struct RequestedActivation {
    std::uint32_t window = 0;        // 0 until an application-wide request has picked its window
    Pid owner = 0;                   // 0 when the window was unknown to the model
    std::uint32_t activeBefore = 0;  // the model's active window when asked
    std::uint32_t changesBefore = 0; // and its count of active window changes
    std::chrono::steady_clock::time_point at;  // when sent (when asked, until it is sent)
};

// Whether the model's active window shows the request has been dealt with: it is the window
// asked for, or another window than the one in front when asked (someone else acted since), or
// it changed twice since (the answer, then a change back that one read of the property saw
// alone). "No window" answers nothing: focus passes through none on its way between two windows.
bool activationAnswered(const DesktopSnapshot& model, const RequestedActivation& requested);

class X11Actions {
public:
    // Main thread; the model must outlive this. `now` is the clock stamped on activations.
    explicit X11Actions(X11WindowModel& model, SteadyNow now = [] { return std::chrono::steady_clock::now(); });

    // Brings the window to the front (un-minimising it, switching desktop when it is elsewhere).
    // Without a window manager the window is mapped, raised and given the focus directly.
    // Requests made within one turn of the event loop send a single _NET_ACTIVE_WINDOW for the
    // last window asked for; an application-level request does not replace a window of the same
    // application asked for in that turn.
    void activateWindow(std::uint32_t window);
    // Activates the application's topmost window; nothing when it has none.
    void activateApp(Pid owner);
    // Brings back every minimised window of the application, bottom to top; only the one asked
    // for when one of its windows is activated in the same turn of the event loop (an application
    // counts as hidden when all its windows are minimised, so restoring that one unhides it).
    void restoreApp(Pid owner);
    // Sends the activation gathered in this turn of the event loop at once. Main thread.
    void sendActivationNow();
    // WM_CHANGE_STATE to IconicState.
    void minimise(std::uint32_t window);
    // A polite close (_NET_CLOSE_WINDOW): the application may ask the user first.
    void close(std::uint32_t window);
    // Moves and/or resizes so the outer frame (decoration included) lands on the values given.
    // A maximised window is un-maximised first, since window managers ignore moves of those.
    void moveResizeFrame(std::uint32_t window, std::optional<QPoint> framePosition, std::optional<QSize> frameSize);

    // The last activation asked for by activateWindow or activateApp that the model has not yet
    // shown answered (see activationAnswered); none before the first, once answered, or when
    // nothing could be sent (no window for the application, no display). Any thread.
    std::optional<RequestedActivation> lastActivation() const;
    // Runs fn once the window manager has answered the last activation (see lastActivation), at
    // once when none awaits an answer, and at the latest after `cap`. Main thread. Unmapping a
    // window exposes what lies beneath it, and the window manager redraws all of that before it
    // gets to the focus change an activation made: what unmaps waits here.
    void afterAnswered(std::function<void()> fn, std::chrono::milliseconds cap);
    // Where the requests find the time of the key or click that caused them (see
    // userActionTime); without it they carry XCB_CURRENT_TIME. Main thread.
    void setInputStamps(InputStamps stamps) { m_inputs = std::move(stamps); }
    // The clock the activations are stamped with.
    std::chrono::steady_clock::time_point now() const { return m_now(); }

private:
    struct PendingActivation {
        std::uint32_t window = 0;  // 0: resolve the owner's topmost window when sending
        Pid owner = 0;
    };
    void onMain(std::function<void()> fn);
    void schedule(PendingActivation activation, bool replaceSameOwner);
    void sendActivation();
    bool sendActive(std::uint32_t window);
    void raiseAndFocus(std::uint32_t window);
    void forgetAnswered();
    void runAnswered();
    bool awaitingAnswer() const;
    Pid ownerOf(std::uint32_t window) const;
    std::uint32_t actionTime() const;

    X11WindowModel& m_model;
    SteadyNow m_now;
    InputStamps m_inputs;
    QObject m_context;  // lives on the main thread; queued work is delivered through it
    Subscription m_modelChanged;
    mutable std::mutex m_mutex;
    std::optional<PendingActivation> m_pending;
    std::optional<RequestedActivation> m_requested;
    std::vector<std::function<void()>> m_afterAnswered;  // main thread only
    std::optional<PendingActivation> m_sentEarly;         // by sendActivationNow, until the turn ends
};

} // namespace zumo::x11
