// The KWin backend on a virtual kwin_wayland: real Qt windows, keys through KWin's fake-input
// protocol (so Alt+Tab goes through KWin's global shortcuts to Zumo's script), and KWin's own
// view of the active window, printed into its log by a probe script of the test's.
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <csignal>
#include <gtest/gtest.h>

#include "desktop/wayland/KWinScreenShot.h"
#include "tests/wayland/CompositorE2e.h"

namespace zumo::e2e {
namespace {

// evdev codes
constexpr unsigned LeftAlt = 56, TabKey = 15, Grave = 41, KeyL = 38, KeyW = 17, Escape = 1, Slash = 53, KeyB = 48, KeyR = 19, Enter = 28;
constexpr int AltTab = 0x08000000 | 0x01000001, AltGrave = 0x08000000 | 0x60;  // Qt's key codes, as kglobalaccel keeps them

class KWinE2eTest : public CompositorE2e {
protected:
    KWinE2eTest() : CompositorE2e("ZUMO_KWIN_SESSION", "wayland") {}

    void SetUp() override
    {
        if (const auto reason = missingSession())
            GTEST_SKIP() << reason->toStdString();
        startClient(m_keys, QCoreApplication::applicationDirPath() + QStringLiteral("/zumo-kwin-keys"), {});
        ASSERT_TRUE(m_keys.waitForReadyRead(DefaultDeadlineMs));
        const QByteArray ready = m_keys.readLine().trimmed();
        ASSERT_EQ(ready, "ready") << "no fake-input keyboard: " << ready.toStdString();
        runScript(QStringLiteral("zumo-test-probe"),
                  QStringLiteral("workspace.clientActivated.connect(function (c) { if (c) print('zumo-test active: ' + c.caption); });"
                                 "workspace.currentDesktopChanged.connect(function () { print('zumo-test desktop: ' + workspace.currentDesktop); });"));
        for (const QString& title : {QStringLiteral("alpha"), QStringLiteral("bravo"), QStringLiteral("charlie")})
            ASSERT_NO_FATAL_FAILURE(openQtWindow(title));
        ASSERT_NO_FATAL_FAILURE(startZumo({{QStringLiteral("freeShortcutsFromWindowManager"), true},
                                           {QStringLiteral("listTabs"), true}, {QStringLiteral("previews"), true}}));
        ASSERT_TRUE(m_zumo.waitForReady()) << m_zumo.output().toStdString();
        ASSERT_TRUE(m_zumo.sync());
    }

    void TearDown() override
    {
        CompositorE2e::TearDown();
        m_keys.kill(), m_keys.waitForFinished();
        for (const char* name : {"zumo-test-probe", "zumo-test-focus"})
            scripting(QStringLiteral("unloadScript"), {QLatin1String(name)});
    }

    // The windows KWin made active since its log had from bytes, in order, from the probe's lines.
    QStringList activations(qsizetype from = 0) const
    {
        const QByteArray marker = "zumo-test active: ";
        QStringList titles;
        for (const QByteArray& line : kwinLog().mid(from).split('\n'))
            if (const qsizetype at = line.indexOf(marker); at >= 0)
                titles << QString::fromUtf8(line.mid(at + marker.size())).trimmed();
        return titles;
    }
    QString focusedTitle() override
    {
        const QStringList all = activations();
        return all.isEmpty() ? QString() : all.back();
    }

    QByteArray kwinLog() const
    {
        return test::readAll(qEnvironmentVariable("ZUMO_KWIN_SESSION") + QStringLiteral("/kwin.log"));
    }

    QDBusMessage scripting(const QString& method, const QVariantList& arguments = {}) const
    {
        return call(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"),
                    method, arguments);
    }

    // Loads and runs a KWin script of the test's, in place of the one of that name before. KWin runs
    // it later than the call returns, so it stays loaded (and its file kept) until replaced.
    void runScript(const QString& name, const QString& text) const
    {
        const QString path = qEnvironmentVariable("ZUMO_KWIN_SESSION") + QStringLiteral("/%1.js").arg(name);
        ASSERT_NO_FATAL_FAILURE(test::writeAll(path, text.toUtf8()));
        scripting(QStringLiteral("unloadScript"), {name});
        scripting(QStringLiteral("loadScript"), {path, name});
        scripting(QStringLiteral("start"));
    }

    // KWin's holder of a key: component and action.
    QStringList holder(int key = AltTab) const
    {
        return call(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                    QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("action"), {key})
            .arguments().value(0).toStringList();
    }

    // KWin itself activates the window titled title, as a click or its own switcher would.
    void focusThroughKWin(const QString& title)
    {
        runScript(QStringLiteral("zumo-test-focus"),
                  QStringLiteral("workspace.clientList().forEach(function (c) { if (c.caption === '%1') "
                                 "workspace.activeClient = c; });").arg(title));
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == title; })) << "KWin did not activate " << title.toStdString();
    }

    void key(unsigned code, bool press)
    {
        m_keys.write(QStringLiteral("%1 %2\n").arg(press ? QStringLiteral("press") : QStringLiteral("release")).arg(code).toUtf8());
        ASSERT_TRUE(waitUntil([&] { return m_keys.canReadLine(); })) << "the key helper did not answer";
        m_keys.readLine();
    }

    QProcess m_keys;
};

TEST_F(KWinE2eTest, listsSwitchesAndGivesTheShortcutBack)
{
    // The script is loaded, said once in the log, and holds Alt+Tab and the per-application
    // Alt+` in KWin's place.
    EXPECT_EQ(holder().value(1), QStringLiteral("Zumo next"));
    EXPECT_EQ(holder(AltGrave).value(1), QStringLiteral("Zumo next 1"));

    // The order follows the focus KWin itself changes.
    for (const QString& title : {QStringLiteral("charlie"), QStringLiteral("alpha"), QStringLiteral("bravo")})
        focusThroughKWin(title);
    ASSERT_TRUE(m_zumo.sync());
    EXPECT_EQ(m_zumo.listedTitles(), (QStringList{QStringLiteral("bravo"), QStringLiteral("alpha"), QStringLiteral("charlie")}));

    // A quick Alt+Tab through KWin's global shortcuts goes to the previous window.
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false), key(LeftAlt, false);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << "tap: " << focusedTitle().toStdString();

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
        {"l snaps the selected window to the left half", {KeyL}, "charlie", nullptr},
        {"w closes the selected window, the run goes on", {KeyW, Escape}, "charlie", "bravo"},
    };
    for (const PanelStep& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_TRUE(m_zumo.sync());
        key(LeftAlt, true), key(TabKey, true), key(TabKey, false);
        ASSERT_TRUE(waitUntil([&] { return focusedTitle().isEmpty(); })) << "the overlay did not take the keyboard";
        for (unsigned code : step.keys)
            key(code, true), key(code, false);
        // A second Tab comes through KWin's global shortcuts and the script, some D-Bus trips
        // behind keys through the overlay: a release within those few ms can still miss it (a
        // user's comes tens of ms later).
        if (std::find(step.keys.begin(), step.keys.end(), TabKey) != step.keys.end()) {
            ASSERT_TRUE(m_zumo.sync());
        }
        key(LeftAlt, false);
        EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String(step.front); })) << focusedTitle().toStdString();
        // A wrong switch, had Zumo asked for one, is in KWin's log once the script answered a ping.
        ASSERT_TRUE(m_zumo.sync());
        EXPECT_EQ(focusedTitle(), QLatin1String(step.front));
        if (step.closed) {
            EXPECT_TRUE(waitUntil([&] { return m_zumo.sync() && !m_zumo.listedTitles().contains(QLatin1String(step.closed)); }))
                << "still open";
        }
    }

    // The panel in KWin's own screenshot, where the screen changed; the windows' images come in
    // after it (the light Qt windows make white in the dark panel, where their icons make none).
    const auto screen = [&](const char* name, int output = 0) {
        const QImage image = wayland::kwinScreenShot(bus(), QStringLiteral("CaptureArea"), {1280 * output, 0, 1280u, 720u},
                                                     std::chrono::seconds(5));
        image.save(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name));
        return image;
    };
    const QImage desktop = screen("kwin-desktop.png");
    ASSERT_FALSE(desktop.isNull()) << "KWin took no screenshot";
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false);
    QRect panel;
    EXPECT_TRUE(waitUntil([&] {
        const QImage shown = screen("kwin-panel.png");
        panel = {};
        for (int y = 0; y < shown.height(); y += 2)
            for (int x = 0; x < shown.width(); x += 2)
                if (shown.pixel(x, y) != desktop.pixel(x, y))
                    panel |= QRect(x, y, 1, 1);
        return panel.width() > 100;
    })) << "no panel (kwin-panel.png)";
    EXPECT_TRUE(waitUntil([&] { return whiteIn(screen("kwin-previews.png"), panel) > 1000; })) << "no window image in the panel (kwin-previews.png)";
    key(Escape, true), key(Escape, false), key(LeftAlt, false);
    // A quick Alt+` goes to the front application's previous window, once the run Escape ended
    // has given charlie the keyboard back.
    ASSERT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("charlie"); })) << focusedTitle().toStdString();
    ASSERT_TRUE(m_zumo.sync());
    key(LeftAlt, true), key(Grave, true), key(Grave, false), key(LeftAlt, false);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << "Alt+`: " << focusedTitle().toStdString();

    // With alpha active on the second output (KWin's are side by side), the panel shows there.
    runScript(QStringLiteral("zumo-test-focus"), QStringLiteral(
        "workspace.clientList().forEach(function (c) { if (c.caption === 'alpha') { workspace.sendClientToScreen(c, 1); "
        "workspace.activeClient = c; print('zumo-test screen: ' + c.screen); } });"));
    ASSERT_TRUE(waitUntil([&] { return kwinLog().contains("zumo-test screen: 1"); })) << "alpha did not move";
    ASSERT_TRUE(m_zumo.sync());
    const QImage firstBefore = screen("kwin-output1.png"), secondBefore = screen("kwin-output2.png", 1);
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false);
    EXPECT_TRUE(waitUntil([&] { return screen("kwin-output2-panel.png", 1) != secondBefore; })) << "no panel on the second output";
    EXPECT_EQ(screen("kwin-output1-panel.png"), firstBefore) << "the first output changed";
    key(Escape, true), key(Escape, false), key(LeftAlt, false);
    ASSERT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << focusedTitle().toStdString();

    // The window L snapped (charlie) is on the left half.
    EXPECT_TRUE(waitUntil([&] {
        runScript(QStringLiteral("zumo-test-frame"), QStringLiteral(
            "workspace.clientList().forEach(function (c) { if (c.caption === 'charlie') { var g = c.frameGeometry; "
            "print('zumo-test frame: ' + g.x + ' ' + g.y + ' ' + g.width + ' ' + g.height); } });"));
        return kwinLog().contains("zumo-test frame: 0 0 640 720");
    })) << "charlie is not on the left half";

    // --activate brings a listed window to the front, from another desktop showing that desktop.
    runScript(QStringLiteral("zumo-test-focus"), QStringLiteral("workspace.desktops = 2; workspace.clientList().forEach("
                                                                "function (c) { if (c.caption === 'alpha') c.desktop = 2; });"));
    EXPECT_TRUE(waitUntil([&] {
        m_zumo.sync();
        return m_zumo.row(QStringLiteral("alpha")).value(QStringLiteral("desktop")).toInteger(-1) == 1;
    })) << "alpha did not move to the second desktop";
    EXPECT_EQ(m_zumo.activate(QStringLiteral("alpha")), 0);
    EXPECT_TRUE(waitUntil([&] { return focusedTitle() == QLatin1String("alpha"); })) << "other desktop: " << focusedTitle().toStdString();
    EXPECT_TRUE(waitUntil([&] { return kwinLog().contains("zumo-test desktop: 2"); })) << "still on the first desktop";

    ASSERT_NO_FATAL_FAILURE(browserTabsBringTheBrowser([&] { focusThroughKWin(QStringLiteral("alpha")); }));

    // Killed, Zumo cannot unload its script: KWin's own switcher answers Alt+Tab meanwhile, and
    // the next start takes the key again.
    const QString before = focusedTitle();
    ::kill(m_zumo.process().processId(), SIGKILL);
    ASSERT_TRUE(m_zumo.waitForExit() &&
                waitUntil([&] { return !bus().interface()->isServiceRegistered(QStringLiteral("com.zumo.app")); }));
    const qsizetype logged = kwinLog().size();
    key(LeftAlt, true), key(TabKey, true), key(TabKey, false), key(LeftAlt, false);
    EXPECT_TRUE(waitUntil([&] {
        const QStringList since = activations(logged);
        return std::any_of(since.begin(), since.end(), [&](const QString& t) { return !t.isEmpty() && t != before; });
    })) << "KWin's switcher did not answer";
    ASSERT_NO_FATAL_FAILURE(restartZumo());
    ASSERT_TRUE(m_zumo.waitForReady()) << m_zumo.output().toStdString();
    EXPECT_EQ(holder().value(1), QStringLiteral("Zumo next"));

    // At quit KWin's task switcher has Alt+Tab again and the script is gone; the log said so.
    m_zumo.stop();
    const QString events = m_zumo.log();
    EXPECT_EQ(events.count("loaded Zumo's window script into KWin"), 2);
    EXPECT_EQ(events.count("unloaded Zumo's window script from KWin"), 1);
    EXPECT_EQ(holder().value(1), QStringLiteral("Walk Through Windows"));
    EXPECT_EQ(holder(AltGrave).value(1), QStringLiteral("Walk Through Windows of Current Application"));
    EXPECT_FALSE(scripting(QStringLiteral("isScriptLoaded"), {QStringLiteral("zumo")}).arguments().value(0).toBool());
}

} // namespace
} // namespace zumo::e2e
