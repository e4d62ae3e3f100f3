#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/RecordingProcessRunner.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "tests/update/ReleaseFixture.h"
#include "tests/update/UpdateFakes.h"
#include "update/FileDigest.h"
#include "update/LinuxUpdateTools.h"
#include "update/UpdateInstaller.h"

using namespace zumo;
using namespace zumo::test;

namespace {

class Installer : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString base = tmp.path() + "/private";
    FakeClock clock{QDateTime(QDate(2026, 3, 5), QTime(10, 0), Qt::UTC)};
    FakeDispatcher dispatcher{&clock};
    SettingsStore store{tmp.path() + "/defaults.json"};
    Counters counters{store, clock};
    FakeConfig config;
    FakeTransport transport;
    FakePresenter presenter;
    RecordingProcessRunner runner;
    Updater::LinuxPlace place{tmp.path() + "/opt/Zumo", true, true, false, false, tmp.path()};
    LinuxUpdateTools tools{testPublicKey(), place};
    UpdateInstaller installer{{dispatcher, clock, counters, config, transport, tools, presenter, runner, base,
                               "pellwick.example", "com.zumo.app", 4242}};
    int quits = 0;
    Subscription quitting = installer.quitRequested().subscribe([this] { ++quits; });

    void SetUp() override { QDir().mkpath(base); }

    // A signed image of version and its release entry.
    std::pair<QByteArray, Updater::Release> image(const QString& version)
    {
        const QString folder = tmp.path() + "/build-" + version;
        const QString path = tmp.path() + "/image-" + version;
        makeInstallFolder(folder, version);
        EXPECT_EQ(Updater::makeReleaseImage({folder, version, testKey(), path}), "");
        return {readAll(path), release(version, Updater::fileSHA256Hex(path).value_or(""))};
    }
    void answerProbe(qint64 length)
    {
        transport.probes.back().done({true, 200, false, {}, length});
        dispatcher.runMain();
    }
    void prefetch(const std::pair<QByteArray, Updater::Release>& img)
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
    clock.set(QDateTime(QDate(2026, 3, 5), QTime(11, 0, 5), Qt::UTC));  // failed at 10:00:05
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
    const auto img = image("2.4.0");
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
    const auto img = image("2.4.0");
    prefetch(img);
    EXPECT_FALSE(transport.probes[0].allowRedirect(QUrl("https://cdn.example/x")));
    EXPECT_TRUE(transport.downloads[0].request.avoidMetered);
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
// before the copy went in: the window closes, nothing is told or counted or installed, and this
// version runs on.
TEST_F(Installer, cancelInstallsNothing)
{
    const auto img = image("2.4.0");
    enum { downloading, checked, restarting };
    for (const int moment : {downloading, checked, restarting}) {
        installer.acceptUpdate(img.second);
        if (moment == downloading) {
            presenter.window->pressCancel();
            EXPECT_TRUE(transport.downloads.back().task->cancelledByCaller);
            transport.downloads.back().events->finished({false, 0, true, "cancelled", -1});
        } else {
            transport.serve(img.first);
            dispatcher.runMain();
            dispatcher.runBackground();  // the checks pass
            if (moment == restarting)
                dispatcher.runMain();  // the copy is yet to go in
            ASSERT_EQ(presenter.window->labels.size(), moment == restarting ? 3 : 1);
            presenter.window->pressCancel();
        }
        dispatcher.runAll();
        EXPECT_EQ(quits, 0) << moment;
        EXPECT_TRUE(runner.calls.empty()) << moment;
        EXPECT_FALSE(QFileInfo::exists(place.runningFolder)) << moment;
        EXPECT_TRUE(QDir(tmp.path() + "/opt").isEmpty()) << moment;
        EXPECT_TRUE(workDirs().isEmpty()) << moment;
        EXPECT_TRUE(presenter.alerts.empty()) << moment;
        EXPECT_FALSE(installer.installing()) << moment;
    }
    EXPECT_EQ(counters.allCount("update.failed"), 0);

    // A quit at that moment stops the copy too.
    installer.acceptUpdate(img.second);
    transport.serve(img.first);
    dispatcher.runMain();
    dispatcher.runBackground();
    dispatcher.runMain();
    installer.stop();
    dispatcher.runAll();
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_TRUE(QDir(tmp.path() + "/opt").isEmpty());
}

TEST_F(Installer, aFailedInteractiveDownloadIsToldAndCounted)
{
    auto img = image("2.4.0");
    img.second.sha256 = QString(64, u'0');
    installer.acceptUpdate(img.second);
    installer.acceptUpdate(img.second);  // ignored while installing
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
    const auto img = image("2.4.0");
    prefetch(img);
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
