// Helpers of the end-to-end tests: session lookup, waits on events, client windows, XTEST keys.
#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/shape.h>
#include <xcb/xtest.h>
// xcb's XKB header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace zumo::e2e {

namespace {

// Beside this file; given by the build to the programs that start desktops of their own.
QString sessionScript()
{
#ifdef ZUMO_E2E_SOURCE_DIR
    return QStringLiteral(ZUMO_E2E_SOURCE_DIR "/x11-session");
#else
    return QStringLiteral("x11-session");
#endif
}

} // namespace

QString siblingProgram(const char* variable, const char* relativePath)
{
    const QString path = qEnvironmentVariable(variable);
    return path.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(relativePath) : path;
}

std::optional<QString> enterSession()
{
    const QString dir = qEnvironmentVariable("ZUMO_E2E_SESSION");
    if (dir.isEmpty())
        return QStringLiteral("no virtual desktop: ZUMO_E2E_SESSION is not set (run through ctest)");
    const QString display = test::readTrimmed(dir + QStringLiteral("/display"));
    if (display.isEmpty()) {
        const QString why = test::readTrimmed(dir + QStringLiteral("/unavailable"));
        return why.isEmpty() ? QStringLiteral("no virtual desktop running in ") + dir : why;
    }
    qputenv("DISPLAY", display.toLocal8Bit());
    return std::nullopt;
}

PrivateDesktop::PrivateDesktop() : m_saved(qgetenv("DISPLAY")) {}

PrivateDesktop::~PrivateDesktop()
{
    QProcess::execute(sessionScript(), {QStringLiteral("stop"), m_dir.path()});
    if (m_saved.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", m_saved);
}

QString PrivateDesktop::start(const QString& wm, const QStringList& environment)
{
    QProcess session;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList args{QStringLiteral("start"), m_dir.path()};
    if (!wm.isEmpty())
        args << wm;
    session.start(sessionScript(), args);
    session.waitForFinished(120000);
    // The script fails only where desktops are required (scripts/test): then no desktop is a fault.
    if (session.exitCode() != 0)
        ADD_FAILURE() << "the private desktop did not come up";
    const QString display = test::readTrimmed(m_dir.filePath(QStringLiteral("display")));
    if (display.isEmpty())
        return QStringLiteral("no private X server: ") + test::readTrimmed(m_dir.filePath(QStringLiteral("unavailable")));
    qputenv("DISPLAY", display.toUtf8());
    return {};
}

QString PrivateDesktop::busEntry() const
{
    const QString bus = test::readTrimmed(m_dir.filePath(QStringLiteral("bus")));
    return bus.isEmpty() ? QString() : QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + bus;
}

void PrivateDesktop::kill(const QString& pidFile)
{
    ::kill(pid_t(test::readTrimmed(m_dir.filePath(pidFile)).toInt()), SIGKILL);
}

XHelper::XHelper()
{
    int screen = 0;
    m_c = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(m_c))
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_c), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { drain(); });
    // Replies read by a round trip may have queued events without the socket becoming readable.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     m_notifier.get(), [this] { drain(); });
    xcb_flush(m_c);
}

XHelper::~XHelper()
{
    m_notifier.reset();
    if (m_c)
        xcb_disconnect(m_c);
}

void XHelper::drain()
{
    int drained = 0;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_c)) {
        if (onEvent)
            onEvent(*event);
        std::free(event);
        ++drained;
    }
    // The events themselves are only wake-ups: the waiting predicate reads the state it wants.
    if (drained)
        QAbstractEventDispatcher::instance()->wakeUp();
}

void XHelper::roundTrip()
{
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    drain();
}

xcb_atom_t XHelper::atom(const char* name)
{
    Freed reply(xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void XHelper::watch(xcb_window_t window)
{
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_c);
}

std::vector<uint32_t> XHelper::values(xcb_window_t window, const char* property, uint32_t offset, uint32_t count)
{
    auto cookie = xcb_get_property(m_c, 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, offset, count);
    Freed reply(xcb_get_property_reply(m_c, cookie, nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.p));
    return {data, data + xcb_get_property_value_length(reply.p) / 4};
}

std::optional<uint32_t> XHelper::cardinal(xcb_window_t window, const char* property)
{
    const std::vector<uint32_t> value = values(window, property);
    return value.empty() ? std::nullopt : std::optional(value.front());
}

std::optional<uint32_t> XHelper::pixel(xcb_drawable_t drawable, QPoint at)
{
    auto cookie = xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(at.x()), int16_t(at.y()), 1, 1,
                                ~0u);
    Freed reply(xcb_get_image_reply(m_c, cookie, nullptr));
    if (!reply || reply->depth < 24 || xcb_get_image_data_length(reply.p) < 4)
        return std::nullopt;
    return *reinterpret_cast<const uint32_t*>(xcb_get_image_data(reply.p)) & 0xFFFFFFu;
}

int XHelper::inputRectangles(xcb_window_t window)
{
    Freed reply(xcb_shape_get_rectangles_reply(m_c, xcb_shape_get_rectangles(m_c, window, XCB_SHAPE_SK_INPUT), nullptr));
    return reply ? int(reply->rectangles_len) : 0;
}

bool XHelper::hasState(xcb_window_t window, const char* stateAtom)
{
    return std::ranges::count(values(window, "_NET_WM_STATE", 0, 64), atom(stateAtom)) > 0;
}

std::optional<QRect> XHelper::frameGeometry(xcb_window_t window)
{
    Freed geometry(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr));
    Freed translated(xcb_translate_coordinates_reply(
        m_c, xcb_translate_coordinates(m_c, window, m_root, 0, 0), nullptr));
    if (!geometry || !translated)
        return std::nullopt;
    std::vector<uint32_t> e = values(window, "_NET_FRAME_EXTENTS", 0, 4);  // left, right, top, bottom
    if (e.size() < 4)
        e.assign(4, 0);
    return QRect(translated->dst_x - int(e[0]), translated->dst_y - int(e[2]),
                 geometry->width + int(e[0] + e[1]), geometry->height + int(e[2] + e[3]));
}

QString XHelper::title(xcb_window_t window)
{
    auto cookie = xcb_get_property(m_c, 0, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 1024);
    Freed reply(xcb_get_property_reply(m_c, cookie, nullptr));
    if (!reply || reply->format != 8)
        return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.p)),
                             xcb_get_property_value_length(reply.p));
}

bool XHelper::exists(xcb_window_t window)
{
    return bool(Freed(xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr)));
}

xcb_window_t XHelper::focus()
{
    Freed reply(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    return reply ? reply->focus : 0;
}

std::vector<xcb_window_t> XHelper::children(xcb_window_t window)
{
    Freed reply(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr));
    if (!reply)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(reply.p);
    return {first, first + xcb_query_tree_children_length(reply.p)};
}

xcb_window_t XHelper::parent(xcb_window_t window)
{
    Freed reply(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr));
    return reply && reply->parent != m_root ? reply->parent : 0;
}

bool XHelper::viewable(xcb_window_t window)
{
    Freed reply(xcb_get_window_attributes_reply(m_c, xcb_get_window_attributes(m_c, window), nullptr));
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

int XHelper::grabKeyboard()
{
    Freed reply(xcb_grab_keyboard_reply(
        m_c, xcb_grab_keyboard(m_c, 0, m_root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
    return reply ? reply->status : -1;
}

bool XHelper::setLayout(const QString& layouts, int group)
{
    if (QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layouts}) != 0)
        return false;
    std::free(xcb_xkb_use_extension_reply(m_c, xcb_xkb_use_extension(m_c, 1, 0), nullptr));
    return !Freed(xcb_request_check(m_c, xcb_xkb_latch_lock_state_checked(m_c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1,
                                                                           std::uint8_t(group), 0, 0, 0)));
}

void XHelper::rootMessage(xcb_window_t window, const char* type, std::vector<uint32_t> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(type);
    data.resize(5, 0);
    std::memcpy(event.data.data32, data.data(), 5 * sizeof(uint32_t));
    xcb_send_event(m_c, 0, m_root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(m_c);
}

xcb_keycode_t XHelper::keycodeOf(uint32_t keysym)
{
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t first = codes ? codes[0] : 0;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return first;
}

bool XHelper::fakeCode(uint8_t type, xcb_keycode_t code)
{
    auto cookie = xcb_test_fake_input_checked(m_c, type, code, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    Freed error(xcb_request_check(m_c, cookie));
    return !error;
}

bool XHelper::click(xcb_window_t window)
{
    const std::optional<QRect> frame = frameGeometry(window);
    if (!frame)
        return false;
    const QPoint at = frame->center();
    bool ok = true;
    for (const auto& [type, detail] : {std::pair<uint8_t, uint8_t>{XCB_MOTION_NOTIFY, 0},
                                       {XCB_BUTTON_PRESS, 1}, {XCB_BUTTON_RELEASE, 1}}) {
        auto cookie = xcb_test_fake_input_checked(m_c, type, detail, XCB_CURRENT_TIME, m_root, int16_t(at.x()),
                                                  int16_t(at.y()), 0);
        Freed error(xcb_request_check(m_c, cookie));
        ok &= !error;
    }
    return ok;
}

bool TestClient::start(const QStringList& titles, const QString& className, bool withPid, int deadlineMs)
{
    QStringList arguments;
    if (!className.isEmpty())
        arguments << QStringLiteral("--class") << className;
    if (!withPid)
        arguments << QStringLiteral("--no-pid");
    arguments << titles;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(siblingProgram("ZUMO_TESTCLIENT", "zumo-testclient"), arguments);
    if (!m_process.waitForStarted(DefaultDeadlineMs)) {
        m_error = QStringLiteral("zumo-testclient did not start: ") + m_process.errorString();
        return false;
    }
    auto readLines = [&] {
        while (m_process.canReadLine()) {
            QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            qsizetype space = line.indexOf(QLatin1Char(' '));
            m_windows.push_back({xcb_window_t(line.left(space).toUInt()), line.mid(space + 1)});
        }
        return m_windows.size() >= size_t(titles.size()) || m_process.state() != QProcess::Running;
    };
    // The deadline is for each window in turn: on a busy machine the window manager takes its
    // time over 150 windows, and only a client that stops making progress has failed.
    for (size_t seen = 0; waitUntil([&] { return readLines() || m_windows.size() > seen; }, deadlineMs) &&
                          m_windows.size() < size_t(titles.size()) && m_process.state() == QProcess::Running;)
        seen = m_windows.size();
    if (m_windows.size() == size_t(titles.size()))
        return true;
    m_error = QStringLiteral("zumo-testclient mapped %1 of %2 windows").arg(m_windows.size()).arg(titles.size());
    return false;
}

void TestClient::kill()
{
    m_process.kill();
    m_process.waitForFinished(DefaultDeadlineMs);
}

QProcessEnvironment ZumoProcess::environment(const QStringList& extra) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    // A closed local port: nothing leaves the machine, and "quit" does not wait at exit.
    environment.insert(QStringLiteral("ZUMO_VENDOR_HOST"), QStringLiteral("127.0.0.1:9"));
    if (m_user)
        environment.insert(QStringLiteral("HOME"), m_home.path());
    for (const QString& entry : extra) {
        qsizetype equals = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    return environment;
}

bool ZumoProcess::start(const QStringList& arguments, const QStringList& extraEnvironment)
{
    if (!m_home.isValid() || !QDir().mkpath(runtimeDir()))
        return false;
    QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_output.clear();  // a restart must not find the last run's ready line
    m_errors.clear();
    if (m_user && ::chown(QFile::encodeName(runtimeDir()).constData(), m_user->first, m_user->second) != 0)
        return false;
    m_process.setProcessEnvironment(environment(extraEnvironment));
    m_process.setProcessChannelMode(m_keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    launch(m_process, arguments);
    return m_process.waitForStarted(DefaultDeadlineMs);
}

void ZumoProcess::launch(QProcess& process, const QStringList& arguments) const
{
    const QString zumo = siblingProgram("ZUMO_BIN", "../../app/zumo");
    if (!m_user) {
        process.start(zumo, arguments);
        return;
    }
    process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(m_user->first),
                                                         QStringLiteral("--regid=%1").arg(m_user->second),
                                                         QStringLiteral("--clear-groups"), QStringLiteral("--"), zumo}
                                                 + arguments);
}

bool ZumoProcess::runAs(uid_t uid, gid_t gid)
{
    if (!m_home.isValid() || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return false;
    const QStringList folders{m_home.path(), configHome(), configHome() + QStringLiteral("/zumo"), cacheHome(),
                              runtimeDir()};
    for (const QString& folder : folders)
        if (!QDir().mkpath(folder) || ::chown(QFile::encodeName(folder).constData(), uid, gid) != 0)
            return false;
    m_user = {uid, gid};
    return true;
}

QString ZumoProcess::errors()
{
    return m_keepErrors ? m_errors += QString::fromUtf8(m_process.readAllStandardError()) : m_errors;
}

ZumoCommand ZumoProcess::command(const QStringList& arguments) const
{
    QProcess client;
    client.setProcessEnvironment(environment());
    launch(client, arguments);
    ZumoCommand result;
    if (!client.waitForFinished(2 * DefaultDeadlineMs) || client.exitStatus() != QProcess::NormalExit) {
        client.kill();
        client.waitForFinished();
        return result;
    }
    result.exitCode = client.exitCode();
    result.output = client.readAllStandardOutput();
    result.errors = client.readAllStandardError();
    return result;
}

std::vector<QJsonObject> ZumoProcess::list() const
{
    std::vector<QJsonObject> rows;
    const ZumoCommand listed = command({QStringLiteral("--list")});
    if (listed.exitCode != 0)
        return rows;
    for (const QByteArray& line : listed.output.split('\n'))
        if (!line.isEmpty())
            rows.push_back(QJsonDocument::fromJson(line).object());
    return rows;
}

QStringList ZumoProcess::listedTitles() const
{
    QStringList titles;
    for (const QJsonObject& row : list())
        titles << row.value(QStringLiteral("title")).toString();
    return titles;
}

QJsonObject ZumoProcess::row(const QString& title) const
{
    const std::vector<QJsonObject> rows = list();
    const auto found = std::ranges::find_if(rows, [&](const QJsonObject& r) { return r[QStringLiteral("title")] == title; });
    return found == rows.end() ? QJsonObject() : *found;
}

QString ZumoProcess::log(const QString& name) const
{
    QString text;
    const QDir logs(cacheHome() + QStringLiteral("/zumo"));
    for (const QString& folder : logs.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        text += QString::fromUtf8(test::readAll(logs.filePath(folder + QLatin1Char('/') + name)));
    return text;
}

bool ZumoProcess::waitForReady(int deadlineMs)
{
    const auto ready = [&] { return output().contains(QStringLiteral("switcher ready")); };
    waitUntil([&] { return ready() || m_process.state() == QProcess::NotRunning; }, deadlineMs);
    return ready();
}

void ZumoProcess::stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(DefaultDeadlineMs)) {
        m_process.kill();
        m_process.waitForFinished(DefaultDeadlineMs);
    }
}

} // namespace zumo::e2e
