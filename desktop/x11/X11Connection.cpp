// The desktop model's X connection and its event pump.
#include "desktop/x11/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>
#include <xcb/composite.h>

#include "platform/Log.h"

namespace zumo::x11 {

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

QString connectionProblem(int code)
{
    switch (code) {
    case XCB_CONN_CLOSED_PARSE_ERR:
    case XCB_CONN_CLOSED_INVALID_SCREEN:
        return QStringLiteral("the DISPLAY setting does not name a usable X display");
    case XCB_CONN_CLOSED_EXT_NOTSUPPORTED:
        return QStringLiteral("the X server lacks a required extension");
    case XCB_CONN_CLOSED_MEM_INSUFFICIENT:
        return QStringLiteral("out of memory");
    default:
        return QStringLiteral("the X server refused the connection or is not running");
    }
}

// Windows vanish all the time; requests on them failing is expected and not worth a log line.
bool routineError(uint8_t code)
{
    return code == XCB_WINDOW || code == XCB_DRAWABLE || code == XCB_MATCH;
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(QString& error, const char* display)
{
    QByteArray name = display ? QByteArray(display) : qgetenv("DISPLAY");
    if (name.isEmpty()) {
        error = QStringLiteral("No X11 display: DISPLAY is not set. Zumo needs an X11 session.");
        return nullptr;
    }
    std::unique_ptr<X11Connection> x(new X11Connection);
    x->m_displayName = name;
    x->m_c = xcb_connect(name.constData(), &x->m_screenNumber);
    if (int code = xcb_connection_has_error(x->m_c)) {
        error = QStringLiteral("Cannot open the X11 display \"%1\": %2.")
                    .arg(QString::fromLocal8Bit(name), connectionProblem(code));
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x->m_c));
    for (int i = 0; i < x->m_screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        error = QStringLiteral("The X11 display \"%1\" has no screen %2.")
                    .arg(QString::fromLocal8Bit(name)).arg(x->m_screenNumber);
        return nullptr;
    }
    x->m_root = it.data->root;
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(x->m_c, &x->m_ewmh);
    x->m_ewmhReady = xcb_ewmh_init_atoms_replies(&x->m_ewmh, cookies, nullptr);
    if (!x->m_ewmhReady) {
        error = QStringLiteral("The X11 display \"%1\" did not answer while setting up.").arg(QString::fromLocal8Bit(name));
        return nullptr;
    }
    x->m_atoms = {intern(x->m_c, "WM_STATE"), intern(x->m_c, "WM_CHANGE_STATE"),
                  intern(x->m_c, "WM_DELETE_WINDOW"), intern(x->m_c, "COMPOUND_TEXT")};
    x->m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x->m_c), QSocketNotifier::Read);
    X11Connection* self = x.get();
    QObject::connect(x->m_notifier.get(), &QSocketNotifier::activated, [self] { self->pump(); });
    // A round trip made on the main thread can read events into xcb's queue without the socket
    // becoming readable again, so the queue is drained before the loop sleeps as well.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, x->m_notifier.get(),
                         [self] { self->pump(); });
    return x;
}

X11Connection::~X11Connection()
{
    m_token.reset();
    // Destroyed from inside its own pump, the notifier may be the one whose signal is running.
    if (m_notifier && m_pumpDepth > 0) {
        m_notifier->setEnabled(false);
        // Until it is deleted, neither its own signal nor the loop's aboutToBlock may reach this
        // object any more: both would pump a connection that no longer exists.
        m_notifier->disconnect();
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            QObject::disconnect(dispatcher, nullptr, m_notifier.get(), nullptr);
        m_notifier.release()->deleteLater();
    }
    m_notifier.reset();
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_c)
        xcb_disconnect(m_c);
}

bool X11Connection::alive() const
{
    return m_c && !xcb_connection_has_error(m_c);
}

void X11Connection::setHandlers(std::function<void(const xcb_generic_event_t&)> handler,
                                std::function<void()> batchEnd)
{
    m_handler = std::move(handler);
    m_batchEnd = std::move(batchEnd);
}

void X11Connection::pump()
{
    if (m_pumping)
        return;  // a handler's round trip re-entered through the event loop
    if (!alive()) {
        reportLoss();
        return;
    }
    const std::weak_ptr<int> token = m_token;
    ++m_pumpDepth;
    m_pumping = true;
    bool any = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        any = true;
        deliver(event);
        std::free(event);
        if (token.expired())
            return;  // a handler destroyed this connection
    }
    // The batch handler's listeners may run a nested event loop (a dialog); events arriving
    // meanwhile must still be handled, so re-entry is allowed from here on.
    m_pumping = false;
    if (any && m_batchEnd)
        m_batchEnd();
    if (!alive())
        reportLoss();
    else
        xcb_flush(m_c);
    if (!token.expired())
        --m_pumpDepth;
}

void X11Connection::reportLoss()
{
    if (m_reportedLoss)
        return;
    m_reportedLoss = true;
    m_notifier->setEnabled(false);
    if (!m_lost) {
        appLog(QStringLiteral("lost the connection to the X server; windows can no longer be listed"));
        return;
    }
    ++m_pumpDepth;  // the handler may destroy this connection
    const std::weak_ptr<int> token = m_token;
    const std::function<void()> lost = m_lost;
    lost();
    if (!token.expired())
        --m_pumpDepth;
}

void X11Connection::deliver(xcb_generic_event_t* event)
{
    if (event->response_type == 0) {
        reportError(*reinterpret_cast<xcb_generic_error_t*>(event));
        return;
    }
    noteInput(*event);
    if (!m_handler)
        return;
    // A copy: the handler may replace the handlers or destroy the connection.
    const auto handler = m_handler;
    handler(*event);
}

void X11Connection::noteInput(const xcb_generic_event_t& event)
{
    if (auto time = inputEventTime(event, 0))
        m_lastInput = InputStamp{*time, std::chrono::steady_clock::now()};
}

void X11Connection::reportError(const xcb_generic_error_t& error)
{
    if (routineError(error.error_code))
        return;
    appLog(QStringLiteral("X request %1.%2 on 0x%3 failed with error %4")
               .arg(error.major_code)
               .arg(error.minor_code)
               .arg(error.resource_id, 0, 16)
               .arg(error.error_code));
}

void X11Connection::flush()
{
    if (m_c)
        xcb_flush(m_c);
}

void X11Connection::roundTrip()
{
    if (!alive())
        return;
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    pump();
}

bool X11Connection::compositorRunning()
{
    if (!alive())
        return false;
    xcb_get_selection_owner_cookie_t cookie = xcb_ewmh_get_wm_cm_owner(&m_ewmh, m_screenNumber);
    xcb_window_t owner = XCB_NONE;
    if (!xcb_ewmh_get_wm_cm_owner_reply(&m_ewmh, cookie, &owner, nullptr))
        return false;
    return owner != XCB_NONE;
}

bool X11Connection::compositeAvailable()
{
    if (!alive())
        return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_c, &xcb_composite_id);
    return extension && extension->present;
}

bool X11Connection::check(xcb_void_cookie_t cookie, const char* what)
{
    xcb_generic_error_t* error = xcb_request_check(m_c, cookie);
    if (!error)
        return true;
    appLog(QStringLiteral("%1 failed (X error %2)").arg(QLatin1String(what)).arg(error->error_code));
    std::free(error);
    return false;
}

} // namespace zumo::x11
