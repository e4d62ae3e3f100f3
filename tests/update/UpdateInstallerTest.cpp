#include "tests/fakes/RecordingProcessRunner.h"
#include "tests/update/UpdateFakes.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/UpdateInstaller.h"
#include "update/VerifyAndStage.h"

using namespace zumo;
using namespace zumo::test;

namespace {

class Installer : public UpdateRig {
protected:
    QString base = tmp.path() + "/private";
    RecordingProcessRunner runner;
    Updater::LinuxPlace place{tmp.path() + "/opt/Zumo", true, true, false, false, tmp.path()};
    LinuxUpdateTools tools{testPublicKey(), place};
    UpdateInstaller installer{{dispatcher, clock, counters, config, transport, tools, presenter, runner, base,
                               "pellwick.example", "com.zumo.app", 4242}};
    int quits = 0;
    Subscription quitting = installer.quitRequested().subscribe([this] { ++quits; });
    // A signed image of 2.4.0 and its release entry.
    const std::pair<QByteArray, Updater::Release> img = [this] {
        const QString path = tmp.path() + "/image-2.4.0";
        makeImage(tmp.path() + "/build-2.4.0", path, "2.4.0");
        return std::pair{readAll(path), release("2.4.0", Updater::fileSHA256Hex(path).value_or(""))};
    }();

    void SetUp() override { QDir().mkpath(base); }
    void answerProbe(qint64 length)
    {
        transport.probes.back().done({true, 200, false, {}, length});
        dispatcher.runMain();
    }
    void prefetch()
    {
        installer.schedulePrefetch(img.second);
        dispatcher.advance(config.values.updatePrefetchDelaySec);
        answerProbe(img.first.size());
        transport.serve(img.first);
        dispatcher.runAll();
    }
    QStringList workDirs() const { return QDir(base).entryList({"zumo-*"}, QDir::AllEntries); }
};

} // namespace

// Not with prefetching off or for a packaged copy; after a failure not until the pause has passed.
TEST_F(Installer, whenAPrefetchIsScheduled)
{
    config.values.updatePrefetch = false;
    installer.schedulePrefetch(release("2.4.0"));
    EXPECT_FALSE(installer.prefetchScheduled());
    config.values.updatePrefetch = true;
    installer.schedulePrefetch(release("2.4.0"));
    dispatcher.advance(5);
    answerProbe(-1);  // no length: refused
    EXPECT_TRUE(transport.downloads.empty());
    EXPECT_EQ(counters.allCount("update.prefetchFailed"), 1);
    clock.advance(3600);  // the pause since the failure
    installer.schedulePrefetch(release("2.4.0"));
    EXPECT_FALSE(installer.prefetchScheduled());
    clock.advance(0.001);
    tools = LinuxUpdateTools(testPublicKey(), {"/usr", false, false, false, true, tmp.path()});
    installer.schedulePrefetch(release("2.4.0"));
    EXPECT_FALSE(installer.prefetchScheduled());
    tools = LinuxUpdateTools(testPublicKey(), place);
    installer.schedulePrefetch(release("2.4.0"));
    EXPECT_TRUE(installer.prefetchScheduled());
}

// An accept stops a prefetch quietly: a probe out does not start its download, and a timer yet to
// fire does not sweep the interactive download's files away.
TEST_F(Installer, anAcceptStopsThePrefetchQuietly)
{
    installer.schedulePrefetch(img.second);
    dispatcher.advance(5);
    installer.acceptUpdate(img.second);
    answerProbe(img.first.size());
    EXPECT_EQ(transport.downloads.size(), 1u);  // only the interactive one
    EXPECT_FALSE(installer.prefetchScheduled());

    UpdateInstaller other{{dispatcher, clock, counters, config, transport, tools, presenter, runner, base,
                           "pellwick.example", "com.zumo.app", 4242}};
    other.schedulePrefetch(img.second);
    other.acceptUpdate(img.second);
    QDir().mkpath(base + "/zumo-update-INTERACTIVE");  // as the interactive download's checks make it
    dispatcher.advance(5);
    EXPECT_TRUE(QFileInfo::exists(base + "/zumo-update-INTERACTIVE"));
    EXPECT_EQ(transport.probes.size(), 1u);
    EXPECT_EQ(counters.allCount("update.prefetchFailed"), 0);
}

TEST_F(Installer, aStagedCopyAlteredSinceIsDownloadedAgainWithAWindow)
{
    prefetch();
    EXPECT_FALSE(transport.probes[0].allowRedirect(QUrl("https://cdn.example/x")));
    EXPECT_TRUE(transport.avoidMetered);
    writeAll(installer.staged()->newApp + "/bin/zumo", "#!/bin/sh\necho owned\n");
    installer.acceptUpdate(img.second);
    ASSERT_TRUE(presenter.window);
    transport.downloads.back().events->progress(img.first.size() / 2, img.first.size());
    dispatcher.runMain();
    EXPECT_DOUBLE_EQ(presenter.window->fraction, double(img.first.size() / 2) / double(img.first.size()));
    transport.serve(img.first);
    dispatcher.runAll();
    EXPECT_EQ(presenter.window->labels, QStringList({"2.4.0", QString::fromUtf8("Checking the download\u2026"),
                                                     QString::fromUtf8("Restarting Zumo\u2026")}));
    EXPECT_EQ(quits, 1);
}

// Cancel while downloading, while the download is checked, or while "Restarting Zumo…" shows
// before the copy went in, or a quit then: the window closes, nothing is told or counted or
// installed, and this version runs on.
TEST_F(Installer, cancelOrQuitInstallsNothing)
{
    enum { downloading, checked, restarting, quitRestarting };
    for (const int moment : {downloading, checked, restarting, quitRestarting}) {
        SCOPED_TRACE(moment);
        installer.acceptUpdate(img.second);
        if (moment == downloading) {
            presenter.window->pressCancel();
            EXPECT_TRUE(transport.downloads.back().task->cancelledByCaller);
            transport.downloads.back().events->finished({false, 0, true, "cancelled", -1});
        } else {
            transport.serve(img.first);
            dispatcher.runMain();
            dispatcher.runBackground();  // the checks pass
            if (moment != checked)
                dispatcher.runMain();  // the copy is yet to go in
            ASSERT_EQ(presenter.window->labels.size(), moment == checked ? 1 : 3);
            moment == quitRestarting ? installer.stop() : presenter.window->pressCancel();
        }
        dispatcher.runAll();
        EXPECT_EQ(quits, 0);
        EXPECT_EQ(runner.calls, 0);
        EXPECT_TRUE(QDir(tmp.path() + "/opt").isEmpty());
        EXPECT_TRUE(presenter.alerts.empty());
        if (moment == quitRestarting)
            break;  // the process ends; its work folder goes with a later sweep of leftovers
        EXPECT_TRUE(workDirs().isEmpty());
        EXPECT_FALSE(installer.installing());
    }
    EXPECT_EQ(counters.allCount("update.failed"), 0);
}

TEST_F(Installer, aFailedInteractiveDownloadIsToldAndCounted)
{
    Updater::Release unlike = img.second;
    unlike.sha256 = QString(64, u'0');
    installer.acceptUpdate(unlike);
    installer.acceptUpdate(unlike);  // ignored while installing
    transport.serve(img.first);
    dispatcher.runAll();
    EXPECT_EQ(transport.downloads.size(), 1u);
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].message, "The update did not install");
    EXPECT_TRUE(presenter.window->closed);
    EXPECT_EQ(counters.allCount("update.failed"), 1);
    EXPECT_FALSE(installer.installing());
    EXPECT_TRUE(workDirs().isEmpty());
}

TEST_F(Installer, anInstallerThatCannotStartIsTold)
{
    prefetch();
    runner.detachedStarts = false;
    installer.acceptUpdate(img.second);
    dispatcher.runAll();
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].informative, "Could not start the installer.");
    EXPECT_FALSE(installer.installing());
    EXPECT_EQ(quits, 0);

    Updater::Staged gone = *installer.staged();
    gone.work = tmp.path() + "/missing";
    installer.installStaged(gone, nullptr, [this](QString m) { presenter.alerts.push_back({m, {}, {}}); });
    EXPECT_EQ(presenter.alerts.back().message, "Could not prepare the installer.");
}

// Each failed check ends the run with its message, exactly once, and leaves nothing behind.
TEST_F(Installer, eachFailedCheckHasItsMessageAndLeavesNothing)
{
    const QString parked = base + "/zumo-dl-TEST";
    const auto download = [&](const char* key) {
        makeImage(tmp.path() + "/build", parked, "2.5.0", key);
        return DownloadOutcome{parked, true, 200, std::nullopt};
    };
    const auto listed = [&](const QString& v) { return release(v, Updater::fileSHA256Hex(parked).value_or("")); };
    const auto v25 = [] { return release("2.5.0"); };
    const char* const good = "test-signing.pem";
    struct Case {
        const char* name;
        std::function<DownloadOutcome()> outcome;
        std::function<Updater::Release()> rel;
        bool cancelled;
        double cap;
        QString failure;
    } cases[] = {
        // The transfer's own failures come with no file of theirs (GuardedDownload deleted it).
        {"cancelled", [] { return DownloadOutcome{"/x", true, 200, {}}; }, v25, true, 1e8, ""},
        {"transfer error", [] { return DownloadOutcome{"", false, 0, QString("The network connection was lost.")}; },
         v25, false, 1e8, "The network connection was lost."},
        {"no file", [] { return DownloadOutcome{"", true, 200, {}}; }, v25, false, 1e8, "The download failed."},
        {"not found", [] { return DownloadOutcome{"/x", true, 404, {}}; }, v25, false, 1e8, "The download failed."},
        {"prefetch over the cap", [&] { return download(good); }, [&] { return listed("2.5.0"); }, false, 100,
         "larger than the allowed size"},
        {"checksum", [&] { return download(good); }, [] { return release("2.5.0", QString(64, u'f')); }, false, 1e8,
         "The download did not match its checksum, so it was not installed."},
        {"another version than listed", [&] { return download(good); }, [&] { return listed("2.6.0"); }, false, 1e8,
         "The downloaded update is not signed by Pellwick, so it was not installed."},
        {"another key", [&] { return download("other-signing.pem"); }, [&] { return listed("2.5.0"); }, false, 1e8,
         "The downloaded file is not signed by Pellwick, so it was not opened or installed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = std::make_shared<FakeProgressWindow>();
        window->isCancelled = true;
        std::vector<QString> failures;
        const DownloadOutcome outcome = c.outcome();  // before rel(), which reads the file
        Updater::verifyAndStage({tools, dispatcher, base, "com.zumo.app", c.cap}, outcome,
                                c.cancelled ? window : nullptr, c.rel(), [](Updater::Staged) { ADD_FAILURE(); },
                                [&](QString m) { failures.push_back(m); });
        dispatcher.runAll();
        EXPECT_EQ(failures, std::vector<QString>{c.failure});
        EXPECT_TRUE(QDir(base).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }
}
