// Self-update end to end: version A, installed into a folder of its own, checks zumo-vendor over
// real HTTPS on loopback, prefetches the signed release B, installs it when the user accepts,
// and B starts in its place, says so and counts it.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <csignal>

#include "tests/e2e/SwitcherE2eFixture.h"
#include "tests/e2e/SwitcherE2eSupport.h"
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

// An install folder of version: this build's zumo as bin/zumo, the file list signed with the
// test key the build pins.
bool makeInstallFolder(const QString& folder, const QString& version)
{
    const QString built = qEnvironmentVariable("ZUMO_BIN", QCoreApplication::applicationDirPath() + "/../../app/zumo");
    return QDir().mkpath(folder + "/bin") && QFile::copy(built, folder + "/bin/zumo") &&
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
    QString installedBinary() const { return place.path() + QStringLiteral("/Zumo/bin/zumo"); }

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

} // namespace

TEST_F(UpdateE2e, anInstalledCopyChecksPrefetchesInstallsAndTheNewVersionStarts)
{
    const QString dest = place.path() + QStringLiteral("/Zumo");
    const QString image = place.path() + QStringLiteral("/Zumo-90.1.tar.gz");
    ASSERT_TRUE(makeInstallFolder(dest, VersionA));
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
    // No wait before the prefetch; room for the large images of sanitizer builds.
    ASSERT_TRUE(vendor.writeDataFile(QStringLiteral("zumo-config.json"),
                                     R"({"updatePrefetchDelaySec": 0, "updateMaxDownloadMB": 500})"));

    ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo}));
    qputenv("ZUMO_BIN", QFile::encodeName(dest + QStringLiteral("/bin/zumo")));
    // This build pins the test key; only a test may trust it.
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce, vendor.environment() << "ZUMO_UPDATE_TRUST_TEST_KEY=1"));

    // The first automatic check comes ten seconds after launch; the prefetch follows at once.
    ASSERT_TRUE(waitUntil([&] { return storedCounter(zumo.configHome(), QStringLiteral("update.prefetched")) == 1; },
                          40000));
    ASSERT_EQ(zumo.command({QStringLiteral("--check-updates")}).exitCode, 0);
    xcb_window_t offer = 0;
    ASSERT_TRUE(waitUntil([&] {
        for (xcb_window_t window : x->clientList())
            if (x->title(window) == QStringLiteral("Zumo"))
                offer = window;
        return offer != 0;
    }));
    x->activate(offer);
    ASSERT_TRUE(waitUntil([&] { return x->activeWindow() == offer; }));
    QElapsedTimer sinceInstall;
    sinceInstall.start();
    ASSERT_TRUE(x->tap(XK_Return));  // "Install and Restart" is the default button
    ASSERT_TRUE(zumo.waitForExit(10000)) << "version A did not quit for the install";

    // The script swaps the folder and starts B from it, in the same session.
    ASSERT_TRUE(waitUntil([&] { return !processesRunning(installedBinary()).empty() && zumo.sync(); }, 40000));
    ASSERT_TRUE(activate(Bravo));
    ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->tap(XK_Tab) && x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitActive(Alpha)) << "version B did not switch";
    const qint64 toFirstSwitchMs = sinceInstall.elapsed();
    RecordProperty("installToFirstSwitchMs", int(toFirstSwitchMs));
    std::printf("time from Install to the new version's first switch: %lld ms\n", qint64(toFirstSwitchMs));

    EXPECT_TRUE(waitUntil([&] { return storedCounter(zumo.configHome(), QStringLiteral("updated")) == 1; }));
    EXPECT_EQ(readSettings(zumo.configHome()).value(QStringLiteral("lastVersion")).toString(), VersionB);
    EXPECT_EQ(Updater::readSignedHeader(dest, Updater::pinnedPublicKey())->version, VersionB);
    EXPECT_EQ(zumo.command({QStringLiteral("--version")}).output.trimmed(), "zumo " + VersionB.toUtf8());
    QString log;
    for (QDirIterator it(zumo.cacheHome(), {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        log += QString::fromUtf8(test::readAll(it.next()));
    EXPECT_TRUE(log.contains(QStringLiteral("banner: Zumo updated to ") + VersionB)) << log.toStdString();
    // Nothing of the update is left: no backup, no work directory, no parked download.
    EXPECT_FALSE(QFileInfo::exists(dest + QStringLiteral(".updating")));
    EXPECT_TRUE(QDir(zumo.cacheHome() + QStringLiteral("/zumo")).entryList({QStringLiteral("zumo-*")}).isEmpty());
}

} // namespace zumo::e2e
