// The KWin backend on a virtual kwin_wayland: real Qt windows, keys through KWin's fake-input
// protocol (so Alt+Tab goes through KWin's global shortcuts to Zumo's script), and KWin's own
// view of the active window, printed into its log by a probe script of the test's.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

#include "tests/e2e/E2eSupport.h"
#include "tests/e2e/SwitcherE2eSupport.h"

namespace zumo::e2e {
namespace {

constexpr unsigned LeftAlt = 56;  // evdev codes
constexpr unsigned TabKey = 15;
constexpr unsigned KeyL = 38;
constexpr unsigned KeyW = 17;
constexpr unsigned Escape = 1;
constexpr unsigned Slash = 53;
constexpr unsigned KeyB = 48;
constexpr unsigned KeyR = 19;
constexpr unsigned Enter = 28;
constexpr int AltTab = 0x08000000 | 0x01000001;  // Qt's key code, as kglobalaccel keeps it

QString sessionFile(const QString& name)
{
    QFile file(qEnvironmentVariable("ZUMO_KWIN_SESSION") + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

QDBusConnection sessionBus()
{
    return QDBusConnection::connectToBus(sessionFile(QStringLiteral("bus")), QStringLiteral("kwin-session"));
}

QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return sessionBus().call(message, QDBus::Block, DefaultDeadlineMs);
}

// Loads and runs a KWin script of the test's, in place of the one of that name before. KWin runs
// it later than the call returns, so it stays loaded (and its file kept) until replaced.
void runScript(const QString& name, const QString& text)
{
    QFile file(qEnvironmentVariable("ZUMO_KWIN_SESSION") + QStringLiteral("/%1.js").arg(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();
    const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
    const QString kwin = QStringLiteral("org.kde.KWin");
    call(kwin, QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"), {name});
    call(kwin, QStringLiteral("/Scripting"), scripting, QStringLiteral("loadScript"), {file.fileName(), name});
    call(kwin, QStringLiteral("/Scripting"), scripting, QStringLiteral("start"), {});
}

QByteArray kwinLog()
{
    QFile log(qEnvironmentVariable("ZUMO_KWIN_SESSION") + QStringLiteral("/kwin.log"));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

// The window KWin made active last, from the probe's lines in its log.
QString kwinActive()
{
    const QByteArray marker = "zumo-test active: ";
    const QByteArray text = kwinLog();
    const qsizetype at = text.lastIndexOf(marker);
    if (at < 0)
        return {};
    const qsizetype end = text.indexOf('\n', at);
    return QString::fromUtf8(text.mid(at + marker.size(), end < 0 ? -1 : end - at - marker.size())).trimmed();
}

const QJsonObject* row(const std::vector<QJsonObject>& rows, const QString& title)
{
    for (const QJsonObject& r : rows)
        if (r.value(QStringLiteral("title")).toString() == title)
            return &r;
    return nullptr;
}

qint64 windowId(const std::vector<QJsonObject>& rows, const QString& title)
{
    const QJsonObject* r = row(rows, title);
    return r ? r->value(QStringLiteral("window")).toInteger() : -1;
}

// The 0-based desktop zumo --list gives the window; -1 for none.
qint64 windowDesktop(const std::vector<QJsonObject>& rows, const QString& title)
{
    const QJsonObject* r = row(rows, title);
    return r ? r->value(QStringLiteral("desktop")).toInteger(-1) : -1;
}

// KWin's holder of Alt+Tab: component and action.
QStringList altTabHolder()
{
    return call(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"), QStringLiteral("org.kde.KGlobalAccel"),
                QStringLiteral("action"), {AltTab})
        .arguments().value(0).toStringList();
}

class KWinE2eTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const QString reason = sessionFile(QStringLiteral("unavailable")); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        if (sessionFile(QStringLiteral("wayland")).isEmpty())
            GTEST_SKIP() << "no virtual KWin: ZUMO_KWIN_SESSION names no running session";
        startClient(m_keys, QCoreApplication::applicationDirPath() + QStringLiteral("/zumo-kwin-keys"), {});
        ASSERT_TRUE(m_keys.waitForReadyRead(DefaultDeadlineMs));
        const QByteArray ready = m_keys.readLine().trimmed();
        ASSERT_EQ(ready, "ready") << "no fake-input keyboard: " << ready.toStdString();
        loadProbe();
        for (const QString& title : {QStringLiteral("alpha"), QStringLiteral("bravo"), QStringLiteral("charlie")}) {
            m_windows.push_back(std::make_unique<QProcess>());
            startClient(*m_windows.back(), QCoreApplication::applicationDirPath() + QStringLiteral("/../e2e/zumo-tabclient"),
                        {QStringLiteral("--title"), title, QStringLiteral("one")});
            ASSERT_TRUE(waitUntil([&] { return kwinActive() == title; })) << "window " << title.toStdString();
        }
        ASSERT_TRUE(writeSettings(m_zumo.configHome(), setUpUser({{QStringLiteral("showDelay"), 0},
                                                                  {QStringLiteral("freeShortcutsFromWindowManager"), true}})));
        ASSERT_TRUE(m_zumo.start({}, environment() + QStringList{QStringLiteral("ZUMO_BACKEND=wayland"),
                                                                 QStringLiteral("QT_QPA_PLATFORM=offscreen")}));
        ASSERT_TRUE(m_zumo.waitForReady()) << m_zumo.output().toStdString();
        ASSERT_TRUE(m_zumo.sync());
    }

    void TearDown() override
    {
        m_zumo.stop();
        for (auto& p : m_windows)
            p->kill(), p->waitForFinished();
        m_keys.kill(), m_keys.waitForFinished();
        for (const char* name : {"zumo-test-probe", "zumo-test-focus"})
            call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"),
                 QStringLiteral("unloadScript"), {QLatin1String(name)});
    }

    static QStringList environment()
    {
        return {QStringLiteral("WAYLAND_DISPLAY=") + sessionFile(QStringLiteral("wayland")),
                QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") + sessionFile(QStringLiteral("bus"))};
    }

    static void startClient(QProcess& process, const QString& program, const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& pair : environment())
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        process.waitForStarted(DefaultDeadlineMs);
    }

    static void loadProbe()
    {
        runScript(QStringLiteral("zumo-test-probe"),
                  QStringLiteral("workspace.clientActivated.connect(function (c) { if (c) print('zumo-test active: ' + c.caption); });"
                                 "workspace.currentDesktopChanged.connect(function () { print('zumo-test desktop: ' + workspace.currentDesktop); });"));
    }

    // KWin itself activates the window titled title, as a click or its own switcher would.
    static void focusThroughKWin(const QString& title)
    {
        runScript(QStringLiteral("zumo-test-focus"),
                  QStringLiteral("workspace.clientList().forEach(function (c) { if (c.caption === '%1') "
                                 "workspace.activeClient = c; });").arg(title));
        EXPECT_TRUE(waitUntil([&] { return kwinActive() == title; })) << "KWin did not activate " << title.toStdString();
    }

    void key(unsigned code, bool press)
    {
        m_keys.write(QStringLiteral("%1 %2\n").arg(press ? QStringLiteral("press") : QStringLiteral("release")).arg(code).toUtf8());
        ASSERT_TRUE(waitUntil([&] { return m_keys.canReadLine(); })) << "the key helper did not answer";
        m_keys.readLine();
    }

    ZumoProcess m_zumo;
    QProcess m_keys;
    std::vector<std::unique_ptr<QProcess>> m_windows;
};

TEST_F(KWinE2eTest, listsSwitchesAndGivesTheShortcutBack)
{
    // The script is loaded, said once in the log, and holds Alt+Tab in KWin's place.
    EXPECT_EQ(altTabHolder().value(1), QStringLiteral("Zumo next"));

    // The order follows the focus KWin itself changes.
    for (const QString& title : {QStringLiteral("charlie"), QStringLiteral("alpha"), QStringLiteral("bravo")})
        focusThroughKWin(title);
    ASSERT_TRUE(m_zumo.sync());
    EXPECT_EQ(m_zumo.listedTitles(), (QStringList{QStringLiteral("bravo"), QStringLiteral("alpha"), QStringLiteral("charlie")}));

    // A quick Alt+Tab through KWin's global shortcuts goes to the previous window.
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false), key(LeftAlt, false);
    EXPECT_TRUE(waitUntil([] { return kwinActive() == QLatin1String("alpha"); })) << "tap: " << kwinActive().toStdString();

    // Keys in the open panel, typed as soon as the overlay has the keyboard (the entries may not
    // be in yet), then Alt released; each step starts from the order the one before left (alpha,
    // bravo, charlie at first).
    struct PanelStep {
        const char* what;
        std::vector<unsigned> keys;
        const char* front;   // KWin's active window afterwards
        const char* closed;  // the window KWin no longer has, or none
    };
    const PanelStep steps[] = {
        {"a second Tab goes to the one before", {TabKey}, "charlie", nullptr},
        {"Escape changes nothing", {Escape}, "charlie", nullptr},
        {"a search, Enter activates the match", {Slash, KeyB, KeyR, Enter}, "bravo", nullptr},
        {"w closes the selected window, the run goes on", {KeyW, Escape}, "bravo", "charlie"},
    };
    for (const PanelStep& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(m_zumo.sync());
        key(LeftAlt, true), key(TabKey, true), key(TabKey, false);
        ASSERT_TRUE(waitUntil([] { return kwinActive().isEmpty(); })) << "the overlay did not take the keyboard";
        for (unsigned code : step.keys)
            key(code, true), key(code, false);
        // A second Tab reaches Zumo through the script, the release through the overlay: a hand
        // is slower than the helper, so Alt goes up once Zumo has heard the script (the pong of
        // --sync comes after every earlier post).
        ASSERT_TRUE(m_zumo.sync());
        key(LeftAlt, false);
        EXPECT_TRUE(waitUntil([&] { return kwinActive() == QLatin1String(step.front); })) << kwinActive().toStdString();
        // A wrong switch, had Zumo asked for one, is in KWin's log once the script answered a ping.
        ASSERT_TRUE(m_zumo.sync());
        EXPECT_EQ(kwinActive(), QLatin1String(step.front));
        if (step.closed) {
            EXPECT_TRUE(waitUntil([&] { return m_zumo.sync() && !m_zumo.listedTitles().contains(QLatin1String(step.closed)); }))
                << "still open";
        }
    }

    // --activate brings a listed window to the front.
    ASSERT_TRUE(m_zumo.sync());
    EXPECT_EQ(m_zumo.command({QStringLiteral("--activate"), QString::number(windowId(m_zumo.list(), QStringLiteral("alpha")))}).exitCode, 0);
    EXPECT_TRUE(waitUntil([] { return kwinActive() == QLatin1String("alpha"); })) << "--activate: " << kwinActive().toStdString();

    // L in the open panel snaps the selected window (bravo, the previous one) to the left half.
    ASSERT_TRUE(m_zumo.sync());
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false);
    ASSERT_TRUE(waitUntil([] { return kwinActive().isEmpty(); })) << "the overlay did not take the keyboard";
    key(KeyL, true), key(KeyL, false), key(LeftAlt, false);
    EXPECT_TRUE(waitUntil([] { return kwinActive() == QLatin1String("bravo"); })) << "snap: " << kwinActive().toStdString();
    EXPECT_TRUE(waitUntil([] {
        runScript(QStringLiteral("zumo-test-frame"), QStringLiteral(
            "workspace.clientList().forEach(function (c) { if (c.caption === 'bravo') { var g = c.frameGeometry; "
            "print('zumo-test frame: ' + g.x + ' ' + g.y + ' ' + g.width + ' ' + g.height); } });"));
        return kwinLog().contains("zumo-test frame: 0 0 640 720");
    })) << "bravo is not on the left half";

    // --activate of a window on another desktop shows that desktop with it.
    const QString alpha = QString::number(windowId(m_zumo.list(), QStringLiteral("alpha")));
    runScript(QStringLiteral("zumo-test-focus"), QStringLiteral("workspace.desktops = 2; workspace.clientList().forEach("
                                                                "function (c) { if (c.caption === 'alpha') c.desktop = 2; });"));
    EXPECT_TRUE(waitUntil([&] {
        m_zumo.sync();
        const auto rows = m_zumo.list();
        return windowDesktop(rows, QStringLiteral("alpha")) == 1;
    })) << "alpha did not move to the second desktop";
    EXPECT_EQ(m_zumo.command({QStringLiteral("--activate"), alpha}).exitCode, 0);
    EXPECT_TRUE(waitUntil([] { return kwinActive() == QLatin1String("alpha"); })) << "other desktop: " << kwinActive().toStdString();
    EXPECT_TRUE(waitUntil([] { return kwinLog().contains("zumo-test desktop: 2"); })) << "still on the first desktop";

    // At quit KWin's task switcher has Alt+Tab again and the script is gone; the log said both once.
    m_zumo.stop();
    QDirIterator logs(m_zumo.cacheHome(), {QStringLiteral("events.log")}, QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(logs.hasNext());
    QFile log(logs.next());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray events = log.readAll();
    EXPECT_EQ(events.count("loaded Zumo's window script into KWin"), 1);
    EXPECT_EQ(events.count("unloaded Zumo's window script from KWin"), 1);
    EXPECT_EQ(altTabHolder().value(1), QStringLiteral("Walk Through Windows"));
    EXPECT_FALSE(call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"),
                      QStringLiteral("isScriptLoaded"), {QStringLiteral("zumo")}).arguments().value(0).toBool());
}

} // namespace
} // namespace zumo::e2e
