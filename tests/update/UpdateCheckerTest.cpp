#include "settings/Settings.h"
#include "tests/update/UpdateFakes.h"
#include "update/ManifestSeal.h"
#include "update/UpdateNudge.h"

using namespace zumo;
using namespace zumo::test;

namespace {

class Checker : public UpdateRig {
protected:
    Settings settings{store};
    FakeHandoff handoff;
    UpdateChecker checker{
        {settings, config, counters, clock, dispatcher, transport, presenter, handoff, "2.3.0", testPublicKey()}};

    void answer(const Updater::CheckResult& result)
    {
        transport.fetches.back()(result);
        dispatcher.runMain();
    }
    void answerRelease(const QString& version, const QString& notes = {})
    {
        Updater::Release r = release(version);
        r.notes = notes;
        answer({r, {}});
    }
    UpdateAlert onlyAlert() const
    {
        EXPECT_EQ(presenter.alerts.size(), 1u);
        return presenter.alerts.empty() ? UpdateAlert{} : presenter.alerts.back();
    }
};

class Nudge : public Checker {
protected:
    FakeAnnouncements announcements;
    std::optional<Updater::Release> available = release("2.4.1");
    UpdateNudge nudge{{store, clock, counters, config, announcements, [this] { return available; }}};

    void switches(int n)
    {
        for (int i = 0; i < n; ++i)
            nudge.armUpdateNudge();
    }
};

const QString Reminder = QString::fromUtf8("Update available. Check Settings \u2192 General.");

} // namespace

// Automatic checks need the setting and no pause; a manual one ignores both but does nothing
// while another check is out.
TEST_F(Checker, whenChecksRun)
{
    store.setValue("autoUpdate", false);
    checker.checkForUpdates(false);
    store.setValue("autoUpdate", true);
    config.values.updateChecksPaused = true;
    checker.checkForUpdates(false);
    EXPECT_TRUE(transport.fetches.empty());
    config.values.updateChecksPaused = false;
    checker.checkForUpdates(false);
    checker.checkForUpdates(true);
    EXPECT_EQ(transport.fetches.size(), 1u);
    EXPECT_EQ(counters.allCount("update.manual"), 0);
    answerRelease("2.3.0");
    checker.checkForUpdates(true);
    EXPECT_EQ(transport.fetches.size(), 2u);
    EXPECT_EQ(counters.allCount("update.manual"), 1);
}

// Failures are told only to a manual check; an older or equal release is never offered.
TEST_F(Checker, whatAManualCheckTells)
{
    const UpdateAlert upToDate{"Zumo is up to date", "Version 2.3.0.", {"OK"}};
    const std::pair<Updater::CheckResult, UpdateAlert> cases[] = {
        {{std::nullopt, "The update information could not be read."},
         {"Couldn't check for updates", "The update information could not be read.", {"OK"}}},
        {{std::nullopt, ""}, {"Couldn't check for updates", "Try again later.", {"OK"}}},
        {{release("2.3.0"), {}}, upToDate},
        {{release("2.2.9"), {}}, upToDate},
    };
    for (const auto& [result, alert] : cases) {
        presenter.alerts.clear();
        checker.checkForUpdates(true);
        answer(result);
        EXPECT_EQ(onlyAlert(), alert) << alert.informative.toStdString();
        checker.checkForUpdates(false);
        answer(result);
        EXPECT_EQ(presenter.alerts.size(), 1u);
    }
    EXPECT_EQ(counters.allCount("update.checkFailed"), 4);
    EXPECT_TRUE(handoff.accepted.empty());
    EXPECT_TRUE(handoff.prefetches.empty());
}

// A manual check offers it, its notes as text; automatic ones remember it and prefetch each
// version once.
TEST_F(Checker, aNewerReleaseIsOfferedOrPrefetched)
{
    presenter.answer = 0;
    checker.checkForUpdates(true);
    answerRelease("2.4.0", "<a href='x'>Fixes</a>");
    EXPECT_EQ(onlyAlert(), (UpdateAlert{"Zumo 2.4.0 is available", "You have 2.3.0.\n\n<a href='x'>Fixes</a>",
                                         {"Install and Restart", "Later"}}));
    EXPECT_EQ(handoff.accepted.size(), 1u);
    EXPECT_FALSE(checker.availableRelease());
    for (const char* version : {"2.4.0", "2.4.0", "2.5.0"}) {
        checker.checkForUpdates(false);
        answerRelease(version);
        handoff.staged = "2.4.0";
    }
    EXPECT_EQ(checker.availableRelease()->version, "2.5.0");
    EXPECT_EQ(handoff.prefetches.size(), 2u);
    EXPECT_EQ(presenter.alerts.size(), 1u);
}

// A packaged copy, or one pinning the test key without a test asking for it (it gets no key), is
// told about a release and never offered or handed one.
TEST_F(Checker, aPackagedCopyOrOneTrustingTheTestKeyIsToldNotOfferedAnInstall)
{
    UpdateChecker testKeyCopy{{settings, config, counters, clock, dispatcher, transport, presenter, handoff, "2.3.0", {}}};
    presenter.answer = 0;
    for (auto [copy, managed, detail] : {std::tuple{&checker, true, "package manager"},
                                         std::tuple{&testKeyCopy, false, "public test key"}}) {
        handoff.managed = managed;
        presenter.alerts.clear();
        copy->checkForUpdates(true);
        answerRelease("2.4.0");
        EXPECT_TRUE(onlyAlert().informative.contains(detail)) << detail;
    }
    testKeyCopy.checkForUpdates(false);
    answerRelease("2.4.0");
    EXPECT_TRUE(handoff.accepted.empty());
    EXPECT_TRUE(handoff.prefetches.empty());
}

TEST_F(Checker, onceASignedManifestWasSeenUnsignedExpiredOlderOrForgedOnesAreRefused)
{
    const QByteArray manifest = "{\"version\": \"2.4.0\"}";
    const double now = clock.nowSeconds();
    const auto sealed = [&](double signedAt, double expiresAt, const char* key = "test-signing.pem") {
        return std::optional(Updater::sealManifest(manifest, testKey(key), signedAt, expiresAt));
    };
    const std::optional<QByteArray> unsigned_;
    struct Case {
        const char* name;
        std::optional<QByteArray> seal;
        QByteArray manifest;
        QString refusal;  // empty: offered
    } cases[] = {
        {"unsigned, before any signed one", unsigned_, manifest, ""},
        {"signed", sealed(now - 60, now + 86400), manifest, ""},
        {"unsigned", unsigned_, manifest, "is not signed"},
        {"expired", sealed(now - 30, now - 1), manifest, "expired on 2026-03-05T11:59:59Z"},
        {"older", sealed(now - 120, now + 86400), manifest, "older"},
        {"signed by another key", sealed(now, now + 86400, "other-signing.pem"), manifest, "not the maker's"},
        {"for other bytes", sealed(now, now + 86400), manifest + " ", "not the maker's"},
        {"newer", sealed(now - 10, now + 86400), manifest, ""},
        {"the older one again", sealed(now - 60, now + 86400), manifest, "older"},
    };
    for (const Case& c : cases) {
        presenter.alerts.clear();
        checker.checkForUpdates(true);
        Updater::CheckResult result{release("2.4.0"), {}};
        result.manifest = c.manifest;
        result.seal = c.seal;
        answer(result);
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(onlyAlert().message, "Zumo 2.4.0 is available") << c.name;
        } else {
            EXPECT_EQ(onlyAlert().message, "Couldn't check for updates") << c.name;
            EXPECT_TRUE(onlyAlert().informative.contains(c.refusal)) << c.name << ": " << onlyAlert().informative.toStdString();
        }
    }
    EXPECT_EQ(store.value("updateManifestSignedAt").toDouble(), now - 10);
}

TEST_F(Checker, aCheckThatNeverAnswersEndsAtItsDeadline)
{
    config.values.networkTimeoutSec = 10;
    checker.checkForUpdates(true);
    dispatcher.advance(10 + UpdateChecker::DeadlineGraceSec - 0.001);
    EXPECT_TRUE(checker.inFlight());
    dispatcher.advance(0.001);
    EXPECT_FALSE(checker.inFlight());
    EXPECT_EQ(onlyAlert().informative, "The update server did not answer in time.");
    answerRelease("9.0");  // the late answer is dropped
    EXPECT_EQ(presenter.alerts.size(), 1u);
    checker.checkForUpdates(true);
    EXPECT_EQ(transport.fetches.size(), 2u);
}

TEST_F(Nudge, armedByTheFiftiethSwitchOfAKnownReleaseAndShownOnce)
{
    available.reset();
    switches(100);
    EXPECT_FALSE(nudge.reminderPending());
    available = release("2.4.1");
    config.values.updateNudgePaused = true;
    switches(100);
    EXPECT_FALSE(nudge.reminderPending());
    config.values.updateNudgePaused = false;
    switches(49);
    EXPECT_FALSE(nudge.reminderPending());
    switches(1);
    EXPECT_TRUE(nudge.reminderPending());
    switches(10);  // never counted while one is pending
    EXPECT_EQ(nudge.takePendingNotice(), Reminder);
    EXPECT_EQ(nudge.takePendingNotice(), std::nullopt);
    EXPECT_EQ(store.value("updateNudgeCount.2.4.1").toInteger(), 1);
    EXPECT_EQ(counters.allCount("update.nudged"), 1);
    EXPECT_EQ(nudge.switchesSinceNudge(), 0);

    switches(50);  // a pending announcement comes first
    announcements.pending = Announcement{"a7", "<i>Meet us</i>"};
    EXPECT_EQ(nudge.takePendingNotice(), "<i>Meet us</i>");
    EXPECT_EQ(store.value("lastAnnounceId").toString(), "a7");
}

// Three per version, 72 hours apart counted from the last reminder of any version.
TEST_F(Nudge, atMostSoManyPerVersionAndNotTooOften)
{
    config.values.updateNudgeAfterSwitches = 5;
    store.setValue("updateNudged", clock.nowSeconds() - 71 * 3600);
    switches(5);
    EXPECT_FALSE(nudge.reminderPending());
    clock.advance(3600);
    for (int shown = 0; shown < 3; ++shown) {
        switches(5);
        ASSERT_EQ(nudge.takePendingNotice(), Reminder);
        switches(5);
        EXPECT_FALSE(nudge.reminderPending());
        clock.advance(72 * 3600);
    }
    switches(20);
    EXPECT_FALSE(nudge.reminderPending());  // the fourth for 2.4.1 never comes
    available = release("2.5.0");            // a newer version starts from zero
    switches(5);
    EXPECT_TRUE(nudge.reminderPending());
}
