// An X connection of the backend (the desktop model's, and the keyboard hook's own): opened
// once, atoms interned, events pumped on the main thread through the Qt event loop, failures
// reported in words.
#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "desktop/x11/InputTime.h"

class QSocketNotifier;

namespace zumo::x11 {

// Atoms xcb-ewmh does not intern for us.
struct ExtraAtoms {
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t wmChangeState = XCB_ATOM_NONE;
    xcb_atom_t wmDeleteWindow = XCB_ATOM_NONE;
    xcb_atom_t compoundText = XCB_ATOM_NONE;
};

class X11Connection {
public:
    // Connects to `display` ($DISPLAY when null). On failure returns null and sets `error` to a
    // sentence the user can act on. Call on the main thread after the Qt application exists.
    static std::unique_ptr<X11Connection> open(QString& error, const char* display = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return m_c; }
    xcb_ewmh_connection_t* ewmh() { return &m_ewmh; }
    const ExtraAtoms& atoms() const { return m_atoms; }
    int screenNumber() const { return m_screenNumber; }
    xcb_window_t root() const { return m_root; }
    // The name of the display this connection was opened on (for a second connection).
    QByteArray displayName() const { return m_displayName; }
    // False once the server has gone away; every read then yields nothing.
    bool alive() const;

    // Every event is handed to `handler` on the main thread; `batchEnd` runs once after each
    // drain that delivered events, so a burst of changes is applied once.
    // A handler may destroy the connection; the pump then stops at once.
    void setHandlers(std::function<void(const xcb_generic_event_t&)> handler, std::function<void()> batchEnd);
    // Called once when the server goes away, instead of the default log line. It may destroy
    // the connection.
    void setLostHandler(std::function<void()> lost) { m_lost = std::move(lost); }
    // Delivers every event already received. Main thread.
    void pump();
    void flush();
    // One round trip, then pump(): every event the server sent before the call is handled.
    void roundTrip();

    // The latest key or button event read on this connection; none before any. Main thread.
    std::optional<InputStamp> lastInput() const { return m_lastInput; }
    // A compositing manager owns _NET_WM_CM_S<screen> (translucent windows look right). One round trip.
    bool compositorRunning();
    // The Composite extension is present (windows can be captured off-screen).
    bool compositeAvailable();
    // Waits for a checked request's answer; logs what failed and returns false on error.
    bool check(xcb_void_cookie_t cookie, const char* what);

private:
    X11Connection() = default;
    void deliver(xcb_generic_event_t* event);
    void noteInput(const xcb_generic_event_t& event);
    void reportError(const xcb_generic_error_t& error);
    void reportLoss();

    xcb_connection_t* m_c = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    ExtraAtoms m_atoms;
    int m_screenNumber = 0;
    xcb_window_t m_root = 0;
    QByteArray m_displayName;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void(const xcb_generic_event_t&)> m_handler;
    std::function<void()> m_batchEnd;
    std::function<void()> m_lost;
    // Expires with the connection, so a pump whose handler destroyed it stops touching it.
    std::shared_ptr<int> m_token = std::make_shared<int>(0);
    int m_pumpDepth = 0;
    std::optional<InputStamp> m_lastInput;
    bool m_reportedLoss = false;
    bool m_pumping = false;
};

} // namespace zumo::x11
