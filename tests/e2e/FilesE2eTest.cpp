// The real zumo under faults: an unreadable settings file, a FIFO for the log, the window
// manager dying under it, and then the X server right after a switch.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/SwitcherE2eFixture.h"
#include "tests/support/TestFiles.h"

namespace zumo::e2e {
namespace {

using test::modeOf;
using test::readAll;

const QString First = QStringLiteral("First window");
const QString Second = QStringLiteral("Second window");

using FilesE2e = SwitcherE2e;

TEST_F(FilesE2e, anUnreadableSettingsFileKeepsItsBytesAndModeAndTheUserIsToldOnce)
{
    // Zumo runs as `nobody`: as root, file modes stop nothing.
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || !zumo.runAs(nobody->pw_uid, nobody->pw_gid))
        GTEST_SKIP() << "cannot run zumo as the user nobody (setpriv missing?)";
    ASSERT_NO_FATAL_FAILURE(openWindows({First, Second}));
    const QByteArray bytes = "{\"showDelay\": 0, \"all.switches\": 41}";
    const QString file = settingsPath(zumo.configHome());
    ASSERT_NO_FATAL_FAILURE(test::writeAll(file, bytes));
    ASSERT_EQ(::chown(QFile::encodeName(file).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0), 0);
    zumo.keepErrors();
    // Settings that cannot be read hold no consent either: the question comes first and Return
    // agrees; then Settings opens, as on any first launch.
    ASSERT_NO_FATAL_FAILURE(launchZumo());
    ASSERT_TRUE(waitUntil([&] { return activeTitle() == QStringLiteral("Welcome to Zumo"); }));
    ASSERT_TRUE(x->tap(XK_Return));
    ASSERT_TRUE(zumo.waitForReady()) << "zumo printed: " << zumo.output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return activeTitle() == SettingsTitle; }));
    // The window manager focused Settings on its own: zumo must have heard of it before the keys
    // come, or it takes Second for the front window and switches past it.
    ASSERT_TRUE(zumo.sync());

    ASSERT_TRUE(altTab());
    ASSERT_TRUE(waitActive(Second)) << "active: " << activeTitle().toStdString(); // the counter changes, in memory only
    ASSERT_TRUE(zumo.sync());
    stopZumo();

    EXPECT_EQ(readAll(file), bytes);
    EXPECT_EQ(modeOf(file), 0);
    EXPECT_EQ(QDir(zumo.configHome() + QStringLiteral("/zumo"))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QFileInfo(file).fileName()});
    const QStringList told = zumo.errors().split(QLatin1Char('\n')).filter(file);
    ASSERT_EQ(told.size(), 1) << zumo.errors().toStdString();
    EXPECT_TRUE(told.first().contains(QStringLiteral("cannot be read")));
    const QString log = zumo.log();
    EXPECT_EQ(log.count(QStringLiteral("cannot be read")), 1) << log.toStdString();
}

// A FIFO stands where the log goes.
TEST_F(FilesE2e, aFifoForTheLogIsReportedOnceAndQuitDoesNotHangOnIt)
{
    const QString logDir = zumo.cacheHome() + QStringLiteral("/zumo/0123456789abcdef");
    ASSERT_TRUE(QDir().mkpath(logDir));
    for (const QString& folder : {zumo.cacheHome() + QStringLiteral("/zumo"), logDir})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    const QString fifo = logDir + QStringLiteral("/events.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    zumo.keepErrors();
    ASSERT_NO_FATAL_FAILURE(startZumo({{QStringLiteral("all.switches"), 7}, {QStringLiteral("logDir"), logDir}}));
    stopZumo(); // quit once hung here: the last log upload blocked opening the FIFO
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("switches")), 7);
    const QStringList told = zumo.errors().split(QLatin1Char('\n')).filter(fifo);
    ASSERT_EQ(told.size(), 1) << zumo.errors().toStdString();
    EXPECT_TRUE(told.first().contains(QStringLiteral("cannot write the log")));
}

// The window manager dies first, then the X server right after a switch: a private desktop the
// test may take down (skipped without a private X server), with two client windows ("Second"
// in front) and zumo on it.
TEST(PrivateDeskE2e, withoutAWindowManagerZumoStillSwitchesAndASwitchJustBeforeTheServerDiesIsOnDisk)
{
    PrivateDesktop desktop;  // declared first: it goes last
    if (const QString reason = desktop.start(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    XHelper x;
    ASSERT_TRUE(x.ok());
    TestClient first, second;
    ASSERT_TRUE(first.start({First}, QStringLiteral("First"))) << first.error().toStdString();
    ASSERT_TRUE(second.start({Second}, QStringLiteral("Second"))) << second.error().toStdString();
    for (xcb_window_t window : {first.window(0), second.window(0)})
        ASSERT_TRUE(x.activate(window));
    ZumoProcess zumo;
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), setUpUser()));
    ASSERT_TRUE(zumo.start());
    ASSERT_TRUE(zumo.waitForReady()) << "zumo printed: " << zumo.output().toStdString();

    const std::optional<uint32_t> check = x.cardinal(x.root(), "_NET_SUPPORTING_WM_CHECK");
    ASSERT_TRUE(check && x.exists(*check));
    desktop.killWindowManager();
    ASSERT_TRUE(waitUntil([&] { return !x.exists(*check); }));
    ASSERT_TRUE(zumo.sync());

    // Zumo raises and focuses every choice itself.
    int landed = 0;
    for (int i = 0; i < 5; ++i) {
        const xcb_window_t chosen = i % 2 ? second.window(0) : first.window(0);
        ASSERT_TRUE(x.keyDown(XK_Alt_L) && x.tap(XK_Tab) && x.keyUp(XK_Alt_L));
        landed += waitUntil([&] {
            xcb_window_t top = 0;  // of the two, the highest in the stacking order (bottom to top)
            for (xcb_window_t child : x.children(x.root()))
                top = child == first.window(0) || child == second.window(0) ? child : top;
            return x.focus() == chosen && top == chosen;
        });
    }
    EXPECT_EQ(landed, 5);
    // The last window is in front once zumo has committed the switch, well within the save delay.
    desktop.killServer();
    ASSERT_TRUE(zumo.waitForExit()) << "zumo outlived its X server";
    EXPECT_EQ(zumo.process().exitStatus(), QProcess::NormalExit)
        << "zumo crashed: " << zumo.log(QStringLiteral("crash.log")).toStdString();

    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("switches")), 5);
    const QString log = zumo.log();
    EXPECT_EQ(log.count(QStringLiteral("no window manager is running")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("lost the connection to the X server; Zumo saves its settings and quits")))
        << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("reconnect"))) << log.toStdString();
}

} // namespace
} // namespace zumo::e2e
