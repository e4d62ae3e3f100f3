// What end-to-end tests need on the virtual desktop: the session's display, client windows,
// a helper X connection that waits for events (never for a fixed time), XTEST keys and zumo itself.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <X11/keysym.h>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

class QSocketNotifier;

namespace zumo::e2e {

// An xcb reply (or error), freed when it goes.
template <typename T> struct Freed {
    T* p;
    explicit Freed(T* pointer) : p(pointer) {}
    ~Freed() { std::free(p); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// Points DISPLAY at the running virtual desktop ($ZUMO_E2E_SESSION/display); returns the reason
// to skip when there is none ($ZUMO_E2E_SESSION/unavailable, or a note that the variable is unset).
std::optional<QString> enterSession();

// A program of the build, from its variable or else at its place relative to this test program
// (gtest_discover_tests passes only the first ENVIRONMENT entry through to the tests).
QString siblingProgram(const char* variable, const char* relativePath);

#define ZUMO_REQUIRE_SESSION()                                                                        \
    do {                                                                                              \
        if (auto reason = ::zumo::e2e::enterSession())                                                \
            GTEST_SKIP() << reason->toStdString();                                                    \
    } while (0)

// A virtual desktop of a test's own (x11-session in a temporary folder): for a test that takes
// it down, or that needs another window manager. Gone with the object; DISPLAY is put back.
class PrivateDesktop {
  public:
    PrivateDesktop();
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;
    // Starts Xvfb and `wm` (the tests' openbox when empty) with `environment` added; the reason
    // there is none, or empty once DISPLAY points at it.
    QString start(const QString& wm = {}, const QStringList& environment = {});
    // The session bus of its window manager ("DBUS_SESSION_BUS_ADDRESS=..."); empty when none.
    QString busEntry() const;
    void killServer() { kill(QStringLiteral("xvfb.pid")); }
    void killWindowManager() { kill(QStringLiteral("wm.pid")); }

  private:
    void kill(const QString& pidFile);
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

// Default deadline for waits: generous, since a loaded CI machine can be slow; a passing test
// never waits this long.
constexpr int DefaultDeadlineMs = 5000;

// Runs the Qt event loop (so in-process X connections keep pumping) until predicate holds or the
// deadline passes. Returns the predicate's final value.
inline bool waitUntil(const std::function<bool()>& predicate, int deadlineMs = DefaultDeadlineMs)
{
    return test::eventsUntil(predicate, deadlineMs);
}

// A separate connection for observing and prodding the desktop. It watches the root for property
// and structure changes; watch() adds a client window. Its events wake waitUntil().
class XHelper {
public:
    XHelper();
    ~XHelper();
    XHelper(const XHelper&) = delete;
    XHelper& operator=(const XHelper&) = delete;

    bool ok() const { return m_c && !xcb_connection_has_error(m_c); }
    xcb_connection_t* connection() const { return m_c; }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(const char* name);
    void watch(xcb_window_t window);

    // Reads, each one round trip.
    xcb_window_t activeWindow() { return cardinal(m_root, "_NET_ACTIVE_WINDOW").value_or(0); }
    std::vector<xcb_window_t> clientList() { return values(m_root, "_NET_CLIENT_LIST", 0, 4096); }
    bool hasState(xcb_window_t window, const char* stateAtom);
    std::optional<uint32_t> desktopOf(xcb_window_t window) { return cardinal(window, "_NET_WM_DESKTOP"); }
    std::optional<uint32_t> currentDesktop() { return cardinal(m_root, "_NET_CURRENT_DESKTOP"); }
    // The outer frame in root coordinates (client geometry plus _NET_FRAME_EXTENTS).
    std::optional<QRect> frameGeometry(xcb_window_t window);
    QString title(xcb_window_t window);
    // The window the window manager manages with this title; 0 when none has it.
    xcb_window_t windowTitled(const QString& title)
    {
        for (xcb_window_t window : clientList())
            if (this->title(window) == title)
                return window;
        return 0;
    }
    bool exists(xcb_window_t window);
    // count 32-bit values of a property from offset; empty when there is none.
    std::vector<uint32_t> values(xcb_window_t window, const char* property, uint32_t offset = 0, uint32_t count = 1);
    std::optional<uint32_t> cardinal(xcb_window_t window, const char* property);
    // One pixel of a drawable (the root: what the screen shows), as 0xRRGGBB.
    std::optional<uint32_t> pixel(xcb_drawable_t drawable, QPoint at);
    // How many rectangles make the window's input shape: none when the pointer goes through.
    int inputRectangles(xcb_window_t window);
    // The window with the keyboard focus; 0 when none.
    xcb_window_t focus();
    // The window's children, bottom to top, and its parent (0 for the root or on failure).
    std::vector<xcb_window_t> children(xcb_window_t window);
    xcb_window_t parent(xcb_window_t window);
    bool viewable(xcb_window_t window);
    // Takes the keyboard as a menu would; the grab status, -1 on failure.
    int grabKeyboard();
    // Sets the desktop's layouts (setxkbmap), then locks layout group `group` ("us,ru" with 1 is
    // Russian) as a user's layout switch does; the lock outlives a keymap, so set it each time.
    bool setLayout(const QString& layouts, int group = 0);

    // Requests to the window manager, as a pager would send them (source indication 2).
    void rootMessage(xcb_window_t window, const char* type, std::vector<uint32_t> data);
    // Asks for the window to be made active, and waits until it is: false when it is not.
    bool activate(xcb_window_t window)
    {
        rootMessage(window, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
        return waitUntil([&] { return activeWindow() == window; });
    }
    void setCurrentDesktop(uint32_t desktop) { rootMessage(m_root, "_NET_CURRENT_DESKTOP", {desktop, XCB_CURRENT_TIME}); }
    void moveToDesktop(xcb_window_t window, uint32_t desktop) { rootMessage(window, "_NET_WM_DESKTOP", {desktop, 2}); }

    // XTEST key injection by keysym (XK_Alt_L, XK_Tab, XK_Shift_L, XK_Escape, XK_slash, XK_a...).
    // The first keycode that types keysym on the keymap as it is now (read afresh, since tests
    // remap keys); 0 when no key does.
    xcb_keycode_t keycodeOf(uint32_t keysym);
    bool keyDown(uint32_t keysym) { return fakeKey(XCB_KEY_PRESS, keysym); }
    bool keyUp(uint32_t keysym) { return fakeKey(XCB_KEY_RELEASE, keysym); }
    bool tap(uint32_t keysym) { return keyDown(keysym) && keyUp(keysym); }
    // A press or release of the key with this code, whatever it types; false when refused.
    bool fakeCode(uint8_t type, xcb_keycode_t code);
    // A press and release of the first pointer button at the middle of the window's frame.
    bool click(xcb_window_t window);
    void flush() { xcb_flush(m_c); }
    // One round trip, then every event it brought in goes to onEvent: afterwards this
    // connection has seen everything the server sent it before the call.
    void roundTrip();

    // Sees every event this connection receives, in order, before waitUntil() looks again.
    std::function<void(const xcb_generic_event_t&)> onEvent;

private:
    bool fakeKey(uint8_t type, uint32_t keysym)
    {
        const xcb_keycode_t code = keycodeOf(keysym);
        return code != XCB_NO_SYMBOL && fakeCode(type, code);
    }
    void drain();

    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// One zumo-testclient process ($ZUMO_TESTCLIENT) and the windows it opened.
class TestClient {
public:
    struct Window {
        xcb_window_t id = 0;
        QString title;
    };
    ~TestClient() { kill(); }
    // Opens one window per title and waits until all are mapped, each within deadlineMs of the
    // one before; false (with error()) on failure.
    // Without withPid the windows carry no _NET_WM_PID.
    bool start(const QStringList& titles, const QString& className = {}, bool withPid = true,
               int deadlineMs = DefaultDeadlineMs);
    qint64 pid() const { return m_process.processId(); }
    const std::vector<Window>& windows() const { return m_windows; }
    xcb_window_t window(int index) const { return m_windows.at(size_t(index)).id; }
    QString error() const { return m_error; }
    void kill();

private:
    QProcess m_process;
    std::vector<Window> m_windows;
    QString m_error;
};

// What one `zumo <options>` client command did.
struct ZumoCommand {
    int exitCode = -1;  // -1 when it did not finish in time
    QByteArray output;
    QByteArray errors;
};

// zumo ($ZUMO_BIN) with its own private configuration, cache and runtime directories, so its
// control socket is its own too.
class ZumoProcess {
public:
    ~ZumoProcess() { stop(); }
    bool start(const QStringList& arguments = {}, const QStringList& extraEnvironment = {});
    // Before start(): zumo and its client commands run as this unprivileged user (through
    // setpriv), with the private folders and HOME given to it. False when that is not possible.
    bool runAs(uid_t uid, gid_t gid);
    // Before start(): standard error is kept for errors() instead of being forwarded.
    void keepErrors() { m_keepErrors = true; }
    QString errors();
    QString configHome() const { return m_home.path() + QStringLiteral("/config"); }
    QString cacheHome() const { return m_home.path() + QStringLiteral("/cache"); }
    QString runtimeDir() const { return m_home.path() + QStringLiteral("/run"); }
    // Runs `zumo arguments` as a client of this instance (same environment) and waits for it.
    ZumoCommand command(const QStringList& arguments) const;
    // Starts `zumo arguments` in the same environment and returns at once.
    void startAnother(QProcess& process, const QStringList& arguments = {}) const
    {
        process.setProcessEnvironment(environment());
        launch(process, arguments);
    }
    // `zumo --sync`: true once zumo has handled every X event and queued task that came before.
    bool sync() const { return command({QStringLiteral("--sync")}).exitCode == 0; }
    // `zumo --list`: the rows the switcher would show now, in order; empty on failure.
    std::vector<QJsonObject> list() const;
    QStringList listedTitles() const;
    // The row of list() titled title; empty when there is none.
    QJsonObject row(const QString& title) const;
    // `zumo --activate` of that row's window: its exit code.
    int activate(const QString& title) const
    {
        return command({QStringLiteral("--activate"),
                        QString::number(row(title).value(QStringLiteral("window")).toInteger())}).exitCode;
    }
    // What zumo wrote to the log file of that name, in every log folder under its cache home.
    QString log(const QString& name = QStringLiteral("events.log")) const;
    QProcess& process() { return m_process; }
    // Waits until zumo says on stdout that its shortcut is armed; false when it ends first or
    // the deadline passes. stdout is read here (stderr stays forwarded).
    bool waitForReady(int deadlineMs = DefaultDeadlineMs);
    QString output() { return m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }
    // Waits for the process to end on its own; false when it is still running at the deadline.
    bool waitForExit(int deadlineMs = DefaultDeadlineMs)
    {
        return waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, deadlineMs);
    }
    void stop();

private:
    QProcessEnvironment environment(const QStringList& extra = {}) const;
    void launch(QProcess& process, const QStringList& arguments) const;

    QTemporaryDir m_home;
    QProcess m_process;
    QString m_output;
    QString m_errors;
    bool m_keepErrors = false;
    std::optional<std::pair<uid_t, gid_t>> m_user;
};

inline const QString SettingsTitle = QStringLiteral("Zumo Settings");

// The environment entry that keeps LeakSanitizer from reporting libdbus's buffer, which Qt's
// desktop integration loads and keeps until exit.
inline QString leakSuppressions(const ZumoProcess& zumo)
{
    const QString path = zumo.configHome() + QStringLiteral("/../lsan.supp");
    test::writeAll(path, "leak:libdbus-1.so\n");
    return QStringLiteral("LSAN_OPTIONS=suppressions=") + path;
}

inline QString settingsPath(const QString& configHome) { return configHome + QStringLiteral("/zumo/com.zumo.app.json"); }

// Consent given and Settings not opened at launch: what a user who set Zumo up has, and what
// keeps a window from taking the focus from the test's windows.
inline QJsonObject setUpUser(QJsonObject settings = {})
{
    settings.insert(QStringLiteral("consentVersion"), settings.value(QStringLiteral("consentVersion")).toInt(1));
    settings.insert(QStringLiteral("openAtLaunch"), settings.value(QStringLiteral("openAtLaunch")).toBool(false));
    return settings;
}

inline void writeSettings(const QString& configHome, const QJsonObject& settings)
{
    test::writeAll(settingsPath(configHome), QJsonDocument(settings).toJson());
}

inline QJsonObject readSettings(const QString& configHome)
{
    return QJsonDocument::fromJson(test::readAll(settingsPath(configHome))).object();
}

// An all-time counter as stored ("all.<name>"), 0 when absent.
inline qint64 storedCounter(const QString& configHome, const QString& name)
{
    return readSettings(configHome).value(QStringLiteral("all.") + name).toInteger();
}

} // namespace zumo::e2e
