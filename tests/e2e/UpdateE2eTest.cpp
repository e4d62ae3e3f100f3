// Self-update end to end: version A, installed into a folder of its own, checks zumo-vendor over
// real HTTPS on loopback, prefetches the signed release B, installs it when the user accepts,
// and B starts in its place, says so and counts it.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "tests/e2e/SwitcherE2eFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/vendor/testkit/VendorServer.h"
#include "update/BundleList.h"
#include "update/FileDigest.h"
#include "update/PinnedKey.h"
#include "update/ReleaseMaker.h"

namespace zumo::e2e {
namespace {

const QString VersionA = QStringLiteral("90.0");
const QString VersionB = QStringLiteral("90.1");

// An install folder of version: this build's zumo and its network helper in bin/, the file list
// signed with the test key the build pins.
bool makeInstallFolder(const QString& folder, const QString& version)
{
    const QString built = qEnvironmentVariable("ZUMO_BIN", QCoreApplication::applicationDirPath() + "/../../app/zumo");
    return QDir().mkpath(folder + "/bin") && QFile::copy(built, folder + "/bin/zumo") &&
           QFile::copy(built + QStringLiteral("-net"), folder + "/bin/zumo-net") &&
           Updater::signFolder(folder, {Updater::productIdentifier(), version, Updater::makerIdentifier()},
                               test::readAll(QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pem")));
}

// The processes running the program at path; B is started by the install script, not by us.
std::vector<pid_t> processesRunning(const QString& path)
{
    std::vector<pid_t> pids;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (number && QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)) == path)
            pids.push_back(pid);
    }
    return pids;
}

class UpdateE2e : public SwitcherE2e {
protected:
    void TearDown() override
    {
        for (pid_t pid : processesRunning(installedBinary()))
            ::kill(pid, SIGTERM);
        waitUntil([&] { return processesRunning(installedBinary()).empty(); });
        qunsetenv("ZUMO_BIN");
        SwitcherE2e::TearDown();
    }
    QString dest() const { return place.path() + QStringLiteral("/Zumo"); }
    QString installedBinary() const { return dest() + QStringLiteral("/bin/zumo"); }

    // A installed at dest() and B published with the remote configuration config. Without
    // automatic checks the offer's check is the only one (one in flight drops another).
    void publish(const char* config, bool automaticChecks)
    {
        const QString image = place.path() + QStringLiteral("/Zumo-90.1.tar.gz");
        ASSERT_TRUE(makeInstallFolder(dest(), VersionA));
        ASSERT_TRUE(makeInstallFolder(place.path() + QStringLiteral("/B"), VersionB));
        ASSERT_EQ(Updater::makeReleaseImage({place.path() + QStringLiteral("/B"), VersionB,
                                             test::readAll(QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pem")), image}),
                  QString());
        ASSERT_TRUE(vendor.writeReleaseFile(QStringLiteral("Zumo-90.1.tar.gz"), test::readAll(image)));
        ASSERT_TRUE(vendor.start()) << vendor.error().toStdString();
        ASSERT_TRUE(vendor.writeDataFile(
            QStringLiteral("latest.json"),
            Updater::manifestJson(VersionB, QUrl(vendor.url(QStringLiteral("/dl/zumo/Zumo-90.1.tar.gz"))),
                                  Updater::fileSHA256Hex(image).value_or(QString()), QStringLiteral("Faster."))));
        ASSERT_TRUE(vendor.writeDataFile(QStringLiteral("zumo-config.json"), config));
        // What an install killed during its copy leaves beside the folder; A's start clears it.
        ASSERT_TRUE(QDir().mkpath(dest() + QStringLiteral(".incoming/bin")));
        ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo}));
        qputenv("ZUMO_BIN", QFile::encodeName(installedBinary()));
        QJsonObject settings = ShowAtOnce;
        settings[QStringLiteral("autoUpdate")] = automaticChecks;
        // This build pins the test key; only a test may trust it.
        ASSERT_NO_FATAL_FAILURE(startZumo(settings, vendor.environment() << "ZUMO_UPDATE_TRUST_TEST_KEY=1"));
    }

    xcb_window_t focusWindow(const QString& title)
    {
        xcb_window_t found = 0;
        if (waitUntil([&] { return (found = x->windowTitled(title)) != 0; }))
            x->activate(found);
        return found;
    }

    xcb_window_t offer()
    {
        if (zumo.command({QStringLiteral("--check-updates")}).exitCode != 0)
            return 0;
        return focusWindow(QStringLiteral("Zumo"));
    }

    // Not below /tmp: a copy on temporary media is installed into ~/Applications, not in place.
    // The build folder may itself be there (a checkout in /tmp); the home folder is not.
    static QString notTemporary()
    {
        const QString build = QCoreApplication::applicationDirPath();
        const QString home = QDir::homePath() + QStringLiteral("/.cache");
        return build.startsWith(QStringLiteral("/tmp/")) && QDir().mkpath(home) ? home : build;
    }
    QTemporaryDir place{notTemporary() + QStringLiteral("/zumo-update-e2e-XXXXXX")};
    test::VendorServer vendor;
};

struct InstallPath {
    const char* name;
    const char* config;  // the remote configuration
    bool prefetched;
};
// Names the case in test listings, where gtest would print its bytes, pointers included.
void PrintTo(const InstallPath& path, std::ostream* out) { *out << path.name; }

class UpdateInstallE2e : public UpdateE2e, public ::testing::WithParamInterface<InstallPath> {};

// Room for the large images of sanitizer builds; no wait before a prefetch.
const InstallPath InstallPaths[] = {
    {"prefetched", R"({"updatePrefetchDelaySec": 0, "updateMaxDownloadMB": 500})", true},
    {"downloadedBehindTheWindow", R"({"updatePrefetch": false, "updateMaxDownloadMB": 500})", false},
};

// What shows when the user quits: the offer, or the progress window of a download that
// trickles in; SIGTERM, else Control+Q in the focused window.
struct QuitCase {
    const char* name;
    bool downloading;
    bool signal;
};
void PrintTo(const QuitCase& quit, std::ostream* out) { *out << quit.name; }

class UpdateQuitE2e : public UpdateE2e, public ::testing::WithParamInterface<QuitCase> {};

const QuitCase QuitCases[] = {
    {"alertByControlQ", false, false},
    {"dripFedDownloadBySignal", true, true},
    {"dripFedDownloadByControlQ", true, false},
};

} // namespace

// Both ways to accept end with the old process gone and one process of B, which switches and
// says once that it was updated; nothing of the update is left.
TEST_P(UpdateInstallE2e, acceptingEndsWithOneProcessOfTheNewVersion)
{
    ASSERT_NO_FATAL_FAILURE(publish(GetParam().config, GetParam().prefetched));
    // The first automatic check comes ten seconds after launch; the prefetch follows at once.
    if (GetParam().prefetched) {
        ASSERT_TRUE(waitUntil(
            [&] { return storedCounter(zumo.configHome(), QStringLiteral("update.prefetched")) == 1; }, 40000));
    }
    ASSERT_NE(offer(), 0u);
    ASSERT_TRUE(x->tap(XK_Return));  // "Install and Restart" is the default button
    ASSERT_TRUE(zumo.waitForExit(10000)) << "version A did not quit for the install";

    // The script starts B from the swapped folder, in the same session.
    ASSERT_TRUE(waitUntil([&] { return !processesRunning(installedBinary()).empty() && zumo.sync(); }, 40000));
    ASSERT_TRUE(activate(Bravo));
    ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->tap(XK_Tab) && x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitActive(Alpha)) << "version B did not switch";

    EXPECT_EQ(processesRunning(installedBinary()).size(), 1u);
    EXPECT_TRUE(waitUntil([&] { return storedCounter(zumo.configHome(), QStringLiteral("updated")) == 1; }));
    EXPECT_EQ(zumo.command({QStringLiteral("--version")}).output.trimmed(), "zumo " + VersionB.toUtf8());
    const QString log = zumo.log();
    EXPECT_EQ(log.count(QStringLiteral("banner: Zumo updated to ") + VersionB), 1) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("a second launch"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("update: removed what an interrupted install left"))) << log.toStdString();
    for (const char* beside : {".incoming", ".replaced", ".updating"})
        EXPECT_FALSE(QFileInfo::exists(dest() + QLatin1String(beside))) << beside;
    EXPECT_TRUE(QDir(zumo.cacheHome() + QStringLiteral("/zumo")).entryList({QStringLiteral("zumo-*")}).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdateInstallE2e, ::testing::ValuesIn(InstallPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// An install cut between its two renames (no exchange) leaves the install folder missing; the
// login entry then starts the new copy beside it, which puts itself in place and runs from there.
TEST_F(UpdateE2e, aCopyStartedBesideTheMissingFolderFinishesTheSwap)
{
    ASSERT_TRUE(makeInstallFolder(dest() + QStringLiteral(".replaced"), VersionA));
    ASSERT_TRUE(makeInstallFolder(dest() + QStringLiteral(".incoming"), VersionB));
    ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo}));
    qputenv("ZUMO_BIN", QFile::encodeName(dest() + QStringLiteral(".incoming/bin/zumo")));
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce, {QStringLiteral("ZUMO_UPDATE_TRUST_TEST_KEY=1")}));
    ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->tap(XK_Tab) && x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitActive(Alpha));
    EXPECT_EQ(processesRunning(installedBinary()), std::vector<pid_t>{pid_t(zumo.process().processId())});
    EXPECT_EQ(Updater::readSignedHeader(dest(), Updater::pinnedPublicKey())->version, VersionB);
    EXPECT_EQ(QDir(place.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Zumo"});
}

// Quit works while the offer or the progress window shows: A ends at once, having saved its
// settings, cancels the download, and installs nothing.
TEST_P(UpdateQuitE2e, quitEndsZumoInEveryState)
{
    ASSERT_NO_FATAL_FAILURE(publish(R"({"updatePrefetch": false})", false));
    ASSERT_TRUE(vendor.setSwitch(QStringLiteral("/dl/zumo/Zumo-90.1.tar.gz"), QStringLiteral("drip=20")));
    ASSERT_NE(offer(), 0u);
    if (GetParam().downloading) {
        ASSERT_TRUE(x->tap(XK_Return));
        ASSERT_NE(focusWindow(QStringLiteral("Updating Zumo")), 0u);
    }
    if (GetParam().signal)
        ::kill(pid_t(zumo.process().processId()), SIGTERM);
    else
        ASSERT_TRUE(x->keyDown(XK_Control_L) && x->tap(XK_q) && x->keyUp(XK_Control_L));
    ASSERT_TRUE(zumo.waitForExit(10000)) << "Zumo did not quit";

    EXPECT_EQ(zumo.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("update.accepted")), GetParam().downloading ? 1 : 0);
    EXPECT_EQ(Updater::readSignedHeader(dest(), Updater::pinnedPublicKey())->version, VersionA);
    EXPECT_TRUE(processesRunning(installedBinary()).empty());
}

INSTANTIATE_TEST_SUITE_P(States, UpdateQuitE2e, ::testing::ValuesIn(QuitCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace zumo::e2e
