#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "tests/update/UpdateFakes.h"
#include "update/UpdateNudge.h"

using namespace zumo;
using namespace zumo::test;

namespace {

class Nudge : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClock clock;
    SettingsStore store{dir.path() + "/defaults.json"};
    Counters counters{store, clock};
    FakeConfig config;
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
