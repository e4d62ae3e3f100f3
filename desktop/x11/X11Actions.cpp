// Window manager requests, sent as EWMH/ICCCM client messages to the root window.
#include "desktop/x11/X11Actions.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>

#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11WindowModel.h"

namespace zumo::x11 {

namespace {

// Source indication 2: a pager or switcher acting on the user's behalf, which window managers
// trust more than an application asking for itself.
constexpr auto UserSource = XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER;

} // namespace

bool activationAnswered(const DesktopSnapshot& model, const RequestedActivation& requested)
{
    const std::uint32_t active = model.active;
    return active && (active == requested.window || active != requested.activeBefore ||
                      model.activeChanges - requested.changesBefore >= 2);
}

X11Actions::X11Actions(X11WindowModel& model, SteadyNow now) : m_model(model), m_now(std::move(now))
{
    m_modelChanged = m_model.changed.subscribe([this] { forgetAnswered(); });
}

void X11Actions::forgetAnswered()
{
    // Once answered, the model speaks alone: the window asked for may lose the front again at
    // once, and an old request must not pull the answer back to it.
    const auto model = m_model.snapshot();
    bool awaiting = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_requested && activationAnswered(*model, *m_requested))
            m_requested.reset();
        awaiting = m_requested.has_value();  // what is left was not answered by this snapshot
    }
    if (!awaiting && !m_afterAnswered.empty())
        runAnswered();
}

bool X11Actions::awaitingAnswer() const
{
    // A request for the window already in front may change nothing the model would see.
    const auto model = m_model.snapshot();
    std::lock_guard lock(m_mutex);
    return m_requested && !activationAnswered(*model, *m_requested);
}

void X11Actions::afterAnswered(std::function<void()> fn, std::chrono::milliseconds cap)
{
    if (!awaitingAnswer() && m_afterAnswered.empty()) {
        fn();
        return;
    }
    m_afterAnswered.push_back(std::move(fn));
    // A window manager that ignores the request never answers; an earlier cap still running
    // ends this wait too, which only makes it shorter.
    QTimer::singleShot(cap, &m_context, [this] { runAnswered(); });
}

void X11Actions::runAnswered()
{
    // Moved out first: a function may ask for another wait.
    for (auto& fn : std::exchange(m_afterAnswered, {}))
        fn();
}

std::optional<RequestedActivation> X11Actions::lastActivation() const
{
    std::lock_guard lock(m_mutex);
    return m_requested;
}

void X11Actions::onMain(std::function<void()> fn)
{
    // Requests go out from the main thread only: a flush from a worker could read events into
    // xcb's queue behind the main loop's back.
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

std::uint32_t X11Actions::actionTime() const
{
    // The key or click the request answers, never the last time seen on some connection: marco
    // refuses an activation older than the user's last click in the window in front.
    return m_inputs ? userActionTime(m_inputs(), m_now()) : XCB_CURRENT_TIME;
}

Pid X11Actions::ownerOf(std::uint32_t window) const
{
    auto snapshot = m_model.snapshot();
    const X11Window* w = snapshot->find(window);
    return w ? w->owner : 0;
}

void X11Actions::activateWindow(std::uint32_t window)
{
    if (!window)
        return;
    schedule({window, ownerOf(window)}, true);
}

void X11Actions::activateApp(Pid owner)
{
    schedule({0, owner}, false);
}

void X11Actions::schedule(PendingActivation activation, bool replaceSameOwner)
{
    const auto model = m_model.snapshot();
    std::lock_guard lock(m_mutex);
    bool first = !m_pending;
    if (first || replaceSameOwner || m_pending->owner != activation.owner) {
        m_pending = activation;
        // Recorded now rather than when sent, so a question asked before the next turn of the
        // event loop already gets the answer the user is about to see.
        m_requested = RequestedActivation{activation.window, activation.owner, model->active, model->activeChanges,
                                          m_now()};
    }
    if (first)
        onMain([this] { sendActivation(); });
}

void X11Actions::sendActivation()
{
    PendingActivation activation;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending)
            return;
        activation = *m_pending;
        m_pending.reset();
    }
    if (!activation.window) {
        auto snapshot = m_model.snapshot();
        auto windows = snapshot->windowsOf(activation.owner);
        if (!windows.empty())
            activation.window = windows.front()->id;
    }
    const bool sent = activation.window && sendActive(activation.window);
    std::lock_guard lock(m_mutex);
    if (m_pending || !m_requested)
        return;  // a later request has taken its place and will stamp its own
    if (!sent) {
        m_requested.reset();  // nothing is coming, so nothing should be waited for
        return;
    }
    m_requested->window = activation.window;
    m_requested->at = m_now();
}

void X11Actions::sendActivationNow()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending)
            return;
        m_sentEarly = m_pending;
    }
    sendActivation();
    onMain([this] { m_sentEarly.reset(); });
}

bool X11Actions::sendActive(std::uint32_t window)
{
    X11Connection& x = m_model.connection();
    if (!x.alive())
        return false;
    auto snapshot = m_model.snapshot();
    if (!snapshot->windowManager) {
        raiseAndFocus(window);
        return true;
    }
    const std::uint32_t time = actionTime();
    // Not every window manager follows a window to its desktop on activation, so go there first.
    if (const X11Window* w = snapshot->find(window);
        w && w->desktop && *w->desktop != AllDesktops && *w->desktop != snapshot->currentDesktop)
        xcb_ewmh_request_change_current_desktop(x.ewmh(), x.screenNumber(), *w->desktop, time);
    xcb_ewmh_request_change_active_window(x.ewmh(), x.screenNumber(), window, UserSource, time,
                                          snapshot->active);
    x.flush();
    return true;
}

void X11Actions::raiseAndFocus(std::uint32_t window)
{
    // Nobody would answer _NET_ACTIVE_WINDOW: do what a window manager does with it. Mapping a
    // mapped window does nothing; the focus needs a viewable window, which the map makes it.
    X11Connection& x = m_model.connection();
    xcb_connection_t* c = x.xcb();
    xcb_map_window(c, window);
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    x.flush();
    m_model.noteFocused(window);
}

void X11Actions::restoreApp(Pid owner)
{
    onMain([this, owner] {
        {
            // That window's own activation un-minimises it; restoring the others too would
            // bring back windows the user did not choose, each with its own desktop hop.
            std::lock_guard lock(m_mutex);
            for (const auto& asked : {m_pending, m_sentEarly})
                if (asked && asked->window && asked->owner == owner)
                    return;
        }
        auto snapshot = m_model.snapshot();
        auto windows = snapshot->windowsOf(owner);
        std::reverse(windows.begin(), windows.end());
        for (const X11Window* w : windows)
            if (w->minimised())
                sendActive(w->id);
    });
}

void X11Actions::minimise(std::uint32_t window)
{
    onMain([this, window] {
        X11Connection& x = m_model.connection();
        if (!x.alive())
            return;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = x.atoms().wmChangeState;
        event.data.data32[0] = IconicState;
        xcb_send_event(x.xcb(), 0, x.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        x.flush();
    });
}

void X11Actions::close(std::uint32_t window)
{
    onMain([this, window] {
        X11Connection& x = m_model.connection();
        if (!x.alive())
            return;
        xcb_ewmh_request_close_window(x.ewmh(), x.screenNumber(), window, actionTime(), UserSource);
        x.flush();
    });
}

void X11Actions::moveResizeFrame(std::uint32_t window, std::optional<QPoint> framePosition,
                                 std::optional<QSize> frameSize)
{
    onMain([this, window, framePosition, frameSize] {
        X11Connection& x = m_model.connection();
        auto snapshot = m_model.snapshot();
        const X11Window* w = snapshot->find(window);
        if (!x.alive() || !w || (!framePosition && !frameSize))
            return;
        xcb_ewmh_request_change_wm_state(x.ewmh(), x.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                         x.ewmh()->_NET_WM_STATE_MAXIMIZED_VERT,
                                         x.ewmh()->_NET_WM_STATE_MAXIMIZED_HORZ, UserSource);
        int flags = 0;
        QPoint position = framePosition.value_or(QPoint());
        QSize size = frameSize ? clientSizeForFrame(*frameSize, w->extents) : QSize();
        if (framePosition)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y;
        if (frameSize)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
        // North-west gravity makes x and y the outer frame's corner, decoration included.
        xcb_ewmh_request_moveresize_window(x.ewmh(), x.screenNumber(), window, XCB_GRAVITY_NORTH_WEST, UserSource,
                                           xcb_ewmh_moveresize_window_opt_flags_t(flags), uint32_t(position.x()),
                                           uint32_t(position.y()), uint32_t(size.width()),
                                           uint32_t(size.height()));
        x.flush();
    });
}

} // namespace zumo::x11
