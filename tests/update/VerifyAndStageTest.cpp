#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeDispatcher.h"
#include "tests/update/ReleaseFixture.h"
#include "tests/update/UpdateFakes.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/VerifyAndStage.h"

using namespace zumo;
using namespace zumo::Updater;
using namespace zumo::test;

// Each failed check ends the run with its message, exactly once, and leaves nothing behind.
TEST(VerifyAndStage, eachFailedCheckHasItsMessageAndLeavesNothing)
{
    QTemporaryDir tmp;
    const QString base = tmp.path() + "/private";
    QDir().mkpath(base);
    FakeDispatcher dispatcher;
    LinuxUpdateTools tools{testPublicKey(), LinuxPlace{}};
    const QString parked = base + "/zumo-dl-TEST";
    const auto download = [&](const QByteArray& key) {
        makeInstallFolder(tmp.path() + "/build", "2.5.0");
        EXPECT_EQ(makeReleaseImage({tmp.path() + "/build", "2.5.0", key, parked}), "");
        return DownloadOutcome{parked, true, 200, std::nullopt};
    };
    const auto listed = [&](const QString& version) { return release(version, fileSHA256Hex(parked).value_or("")); };
    struct Case {
        const char* name;
        std::function<DownloadOutcome()> outcome;
        std::function<Release()> rel;
        bool cancelled;
        double cap;
        QString failure;
    } cases[] = {
        // The transfer's own failures come with no file of theirs (GuardedDownload deleted it).
        {"cancelled", [] { return DownloadOutcome{"/x", true, 200, {}}; }, [] { return release("2.5.0"); }, true,
         1e8, ""},
        {"transfer error", [] { return DownloadOutcome{"", false, 0, QString("The network connection was lost.")}; },
         [] { return release("2.5.0"); }, false, 1e8, "The network connection was lost."},
        {"no file", [] { return DownloadOutcome{"", true, 200, std::nullopt}; }, [] { return release("2.5.0"); },
         false, 1e8, "The download failed."},
        {"not found", [] { return DownloadOutcome{"/x", true, 404, {}}; }, [] { return release("2.5.0"); }, false,
         1e8, "The download failed."},
        {"prefetch over the cap", [&] { return download(testKey()); }, [&] { return listed("2.5.0"); }, false, 100,
         "larger than the allowed size"},
        {"checksum", [&] { return download(testKey()); }, [] { return release("2.5.0", QString(64, u'f')); }, false,
         1e8, "The download did not match its checksum, so it was not installed."},
        {"another version than listed", [&] { return download(testKey()); }, [&] { return listed("2.6.0"); }, false,
         1e8, "The downloaded update is not signed by Pellwick, so it was not installed."},
        {"another key", [&] { return download(testKey("other-signing.pem")); }, [&] { return listed("2.5.0"); },
         false, 1e8, "The downloaded file is not signed by Pellwick, so it was not opened or installed."},
    };
    for (const Case& c : cases) {
        auto window = std::make_shared<FakeProgressWindow>();
        window->isCancelled = true;
        const DownloadOutcome outcome = c.outcome();
        std::vector<QString> failures;
        int successes = 0;
        verifyAndStage({tools, dispatcher, base, "com.zumo.app", c.cap}, outcome,
                       c.cancelled ? window : nullptr,
                       c.rel(), [&](Staged) { ++successes; }, [&](QString m) { failures.push_back(m); });
        dispatcher.runAll();
        EXPECT_EQ(successes, 0) << c.name;
        EXPECT_EQ(failures, std::vector<QString>{c.failure}) << c.name;
        EXPECT_EQ(QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList())
            << c.name;
    }
}
