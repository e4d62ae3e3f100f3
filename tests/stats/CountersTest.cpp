// The usage counters: day keys across midnight, periods, launch maintenance and the snapshot.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"

namespace zumo {
namespace {

constexpr double Day = 86400;

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

class CountersTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeClock clock{utc(2026, 3, 5, 12, 0)};
    FakeDispatcher dispatcher{&clock};  // saves are never due within a test
    SettingsStore store{dir.path() + "/defaults.json", &dispatcher};
    Counters counters{store, clock, QTimeZone("Europe/Berlin")};
};

TEST_F(CountersTest, bumpsAcrossLocalMidnightLandInTwoDaysOfTheInjectedZoneIncludingShortDays)
{
    store.setValue("all.switches", 5);
    clock.set(utc(2026, 3, 5, 22, 59, 30));  // 23:59:30 in Berlin
    counters.bumpCounter("switches");
    clock.advance(60);
    counters.bumpCounter("switches");

    EXPECT_EQ(store.value("day.20260305.switches").toInteger(), 1);
    EXPECT_EQ(store.value("day.20260306.switches").toInteger(), 1);
    EXPECT_EQ(counters.allCount("switches"), 7);
    EXPECT_EQ(counters.periodCount("switches"), 2);
    EXPECT_EQ(counters.todayCount("switches"), 1);

    // 29 March 2026 has 23 hours in Berlin; its midnight is 22:00 UTC.
    clock.set(utc(2026, 3, 29, 21, 59, 59));
    EXPECT_EQ(counters.todayKey(), "20260329");
    clock.advance(1);
    EXPECT_EQ(counters.todayKey(), "20260330");
}

TEST_F(CountersTest, countersReadMissingOrForeignValuesAsZeroAndStopAtTheLimit)
{
    EXPECT_EQ(counters.allCount("jumps"), 0);
    store.setValue("all.jumps", "lots");
    store.setValue("period.jumps", 2.9);
    counters.bumpCounter("jumps", 3);
    EXPECT_EQ(counters.allCount("jumps"), 3);
    EXPECT_EQ(counters.periodCount("jumps"), 5);

    constexpr auto Max = std::numeric_limits<qint64>::max();
    store.setValue("all.big", Max);
    counters.bumpCounter("big");
    EXPECT_EQ(counters.allCount("big"), Max);
    EXPECT_EQ(counters.periodCount("big"), 1);
}

TEST_F(CountersTest, launchKeepsOnlyTodaysDayCountersAndCreatesSinceDates)
{
    clock.set(utc(2026, 3, 6, 9, 0));
    for (const char* key : {"day.20260305.switches", "day.20260306.switches", "day.20250101.jumps",
                            "day.2026030612.x", "all.switches", "period.switches", "dayLight"})
        store.setValue(key, 1);
    store.setValue("stats.periodSince", "not a date");

    counters.statsMaintenanceAtLaunch();

    const QStringList expected{"all.switches", "day.20260306.switches", "dayLight", "period.switches",
                               "stats.allSince", "stats.periodSince"};
    EXPECT_EQ(store.keys(), expected);
    EXPECT_EQ(store.value("stats.allSince").toDouble(), clock.nowSeconds());
    EXPECT_EQ(store.value("stats.periodSince").toDouble(), clock.nowSeconds());
}

TEST_F(CountersTest, launchFoldsOldWholeNumberCounters)
{
    store.setValue("quitCount", 5);
    store.setValue("savedCount", 0);
    store.setValue("switches", "12");
    counters.statsMaintenanceAtLaunch();

    EXPECT_EQ(counters.allCount("quits"), 5);
    EXPECT_EQ(counters.periodCount("quits"), 5);
    EXPECT_EQ(counters.todayCount("quits"), 5);
    EXPECT_FALSE(store.contains("quitCount"));
    EXPECT_FALSE(store.contains("savedCount"));
    EXPECT_FALSE(store.contains("all.saved"));
    EXPECT_EQ(store.value("switches"), QJsonValue("12"));
    EXPECT_FALSE(store.contains("all.switches"));

    store.setValue("switches", -2);
    store.setValue("savedCount", 1.5);
    counters.statsMaintenanceAtLaunch();
    EXPECT_FALSE(store.contains("switches"));
    EXPECT_FALSE(store.contains("all.switches"));
    EXPECT_EQ(store.value("savedCount"), QJsonValue(1.5));
}

TEST_F(CountersTest, weeklyPeriodEndsAfterSevenDaysOfElapsedTime)
{
    store.setValue("stats.auto", 2);
    store.setValue("period.switches", 4);
    store.setValue("all.switches", 4);
    store.setValue("periodical", 4);
    store.setValue("stats.periodSince", clock.nowSeconds() - (6 * Day + 23 * 3600));
    counters.checkAutoPeriod();
    EXPECT_EQ(counters.periodCount("switches"), 4);

    clock.advance(3600 + 1);
    counters.checkAutoPeriod();
    EXPECT_FALSE(store.contains("period.switches"));
    EXPECT_EQ(store.value("stats.periodSince").toDouble(), clock.nowSeconds());
    EXPECT_EQ(counters.allCount("switches"), 4);
    EXPECT_TRUE(store.contains("periodical"));
}

} // namespace
} // namespace zumo
