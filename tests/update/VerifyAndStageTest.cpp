#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/RecordingProcessRunner.h"
#include "tests/update/ReleaseFixture.h"
#include "tests/update/UpdateFakes.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/MacUpdateTools.h"
#include "update/VerifyAndStage.h"

using namespace zumo;
using namespace zumo::Updater;
using namespace zumo::test;

namespace {

struct Result {
    std::optional<Staged> staged;
    std::optional<QString> failure;
};

class Staging : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString base = tmp.path() + "/private";
    FakeDispatcher dispatcher;
    LinuxUpdateTools linuxTools{testPublicKey(), LinuxPlace{}};

    void SetUp() override { QDir().mkpath(base); }

    // A downloaded image of version, parked the way GuardedDownload leaves it.
    QString download(const QString& version, const QByteArray& key = testKey())
    {
        const QString folder = tmp.path() + "/build-" + version;
        makeInstallFolder(folder, version);
        const QString parked = base + "/zumo-dl-TEST";
        EXPECT_EQ(makeReleaseImage({folder, version, key, parked}), "");
        return parked;
    }
    Release releaseFor(const QString& file, const QString& version)
    {
        return test::release(version, fileSHA256Hex(file).value_or(QString()));
    }
    Result run(UpdateTools& tools, const DownloadOutcome& outcome, const Release& rel,
               std::shared_ptr<ProgressWindow> window = nullptr, double cap = 62914560)
    {
        Result r;
        int calls = 0;
        verifyAndStage({tools, dispatcher, base, "com.zumo.app", cap}, outcome, window, rel,
                       [&](Staged s) { r.staged = s, ++calls; }, [&](QString m) { r.failure = m, ++calls; });
        dispatcher.runAll();
        EXPECT_EQ(calls, 1);
        return r;
    }
    Result run(const DownloadOutcome& outcome, const Release& rel) { return run(linuxTools, outcome, rel); }
    QStringList leftovers() const
    {
        return QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(Staging, transferProblemsEndBeforeAnythingIsMade)
{
    auto cancelled = std::make_shared<FakeProgressWindow>();
    cancelled->isCancelled = true;
    const Release rel = release("2.5.0");
    EXPECT_EQ(run(linuxTools, {"/x", true, 200, std::nullopt}, rel, cancelled).failure, "");
    EXPECT_EQ(run({"", false, 0, QString("The network connection was lost.")}, rel).failure,
              "The network connection was lost.");
    EXPECT_EQ(run({"", true, 200, std::nullopt}, rel).failure, "The download failed.");
    EXPECT_EQ(run({"/x", true, 404, std::nullopt}, rel).failure, "The download failed.");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(Staging, aPrefetchedFileOverTheCapIsDeleted)
{
    const QString file = download("2.5.0");
    const qint64 size = QFileInfo(file).size();
    const Result r = run(linuxTools, {file, true, 200, std::nullopt}, releaseFor(file, "2.5.0"), nullptr, double(size - 1));
    EXPECT_EQ(r.failure, "larger than the allowed size");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(Staging, eachFailedCheckHasItsMessageAndLeavesNothing)
{
    QString file = download("2.5.0");
    EXPECT_EQ(run({file, true, 200, std::nullopt}, release("2.5.0", QString(64, u'f'))).failure,
              "The download did not match its checksum, so it was not installed.");
    EXPECT_TRUE(leftovers().isEmpty());

    file = download("2.5.0");
    EXPECT_EQ(run({file, true, 200, std::nullopt}, releaseFor(file, "2.6.0")).failure,
              "The downloaded update is not signed by Pellwick, so it was not installed.");
    EXPECT_TRUE(leftovers().isEmpty());

    file = download("2.5.0", testKey("other-signing.pem"));
    EXPECT_EQ(run({file, true, 200, std::nullopt}, releaseFor(file, "2.5.0")).failure,
              "The downloaded file is not signed by Pellwick, so it was not opened or installed.");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(Staging, macToolsRunInOrderAndTheImageIsDetachedWhenTheCopyFails)
{
    RecordingProcessRunner runner;
    runner.statuses["/usr/bin/ditto"] = {1};
    MacUpdateTools mac(runner, "/Applications/Zumo.app", "/Users/u");
    const QString parked = base + "/zumo-dl-TEST";
    writeAll(parked, "disk image bytes");
    const Result r = run(mac, {parked, true, 200, std::nullopt}, releaseFor(parked, "2.5.0"));
    EXPECT_EQ(r.failure, "The downloaded update is not signed by Pellwick, so it was not installed.");
    ASSERT_EQ(runner.calls.size(), 4u);
    const QString work = QFileInfo(runner.calls[1].args.at(6)).path();
    EXPECT_EQ(runner.calls[0].program, "/usr/bin/codesign");
    EXPECT_EQ(runner.calls[0].args.last(), work + "/update.dmg");
    EXPECT_EQ(runner.calls[1].args, QStringList({"attach", "-nobrowse", "-readonly", "-noverify", "-noautoopen",
                                                  "-mountpoint", work + "/mnt", work + "/update.dmg"}));
    EXPECT_EQ(runner.calls[2].program, "/usr/bin/ditto");
    EXPECT_EQ(runner.calls[2].args, QStringList({work + "/mnt/Zumo.app", work + "/stage/Zumo.app"}));
    EXPECT_EQ(runner.calls[3].args, QStringList({"detach", work + "/mnt", "-force"}));
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(Staging, macImageThatWillNotMountIsNotCopied)
{
    RecordingProcessRunner runner;
    runner.statuses["/usr/bin/hdiutil"] = {1};
    MacUpdateTools mac(runner, "/Applications/Zumo.app", "/Users/u");
    const QString parked = base + "/zumo-dl-TEST";
    writeAll(parked, "disk image bytes");
    EXPECT_EQ(run(mac, {parked, true, 200, std::nullopt}, releaseFor(parked, "2.5.0")).failure,
              "Could not open the downloaded disk image.");
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_TRUE(leftovers().isEmpty());
}
