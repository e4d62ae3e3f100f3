// The Statistics window: its columns follow the counters once a second while shown and not at
// all while hidden; a new period zeroes only the period column.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "windows/StatisticsWindow.h"
#include "stats/Counters.h"
#include "tests/shell/ShellTestSupport.h"

namespace zumo {
namespace {

using test::child;

class StatisticsWindowTest : public ::testing::Test {
  protected:
    StatisticsWindowTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        store.setValue(QStringLiteral("all.switches"), 980);
        store.setValue(QStringLiteral("period.switches"), 412);
        counters.bumpCounter(QStringLiteral("switches"), 37);
        counters.bumpCounter(QStringLiteral("mousePicks"), 2);
    }

    QString cell(const char* metric, const char* column)
    {
        return child<QLabel>(&window,
                             QStringLiteral("%1.%2").arg(QLatin1String(metric), QLatin1String(column)))
            ->text();
    }
    QString info(const char* name) { return child<QLabel>(&window, QLatin1String(name))->text(); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json"))};
    Settings settings{store};
    FakeClock clock;
    FakeDispatcher dispatcher{&clock};
    Counters counters{store, clock, QTimeZone::utc()};
    bool answer = false;
    int asked = 0;
    StatisticsWindow window{StatisticsWindowDeps{counters, store, settings, dispatcher, clock,
                                                 [this](QWidget*, const Question& q) {
                                                     ++asked;
                                                     EXPECT_EQ(q.text, QStringLiteral("Start a new period?"));
                                                     return answer;
                                                 },
                                                 QTimeZone::utc()}};
};

TEST_F(StatisticsWindowTest, columnsFollowTheCountersEverySecondWhileShownAndNotOnceClosed)
{
    window.showWindow();
    EXPECT_EQ(cell("switches", "today"), QStringLiteral("37"));
    EXPECT_EQ(cell("switches", "period"), QStringLiteral("449"));
    EXPECT_EQ(cell("switches", "all"), QStringLiteral("1017"));
    EXPECT_EQ(cell("jumps", "all"), QStringLiteral("0"));
    EXPECT_TRUE(info("periodInfo").endsWith(QStringLiteral("\nRunning for 0d 00h 00m 00s")));

    counters.bumpCounter(QStringLiteral("jumps"));
    dispatcher.advance(0.5);
    EXPECT_EQ(cell("jumps", "today"), QStringLiteral("0"));
    dispatcher.advance(0.5);
    EXPECT_EQ(cell("jumps", "today"), QStringLiteral("1"));
    dispatcher.advance(62);
    EXPECT_TRUE(info("periodInfo").endsWith(QStringLiteral("\nRunning for 0d 00h 01m 03s")));
    EXPECT_TRUE(info("allInfo").endsWith(QStringLiteral("\nThat is 0d 00h 01m 03s ago")));

    // Closed, no timer runs; shown again, however often, it refreshes and starts one.
    window.close();
    EXPECT_EQ(dispatcher.pendingTimers(), 0u);
    counters.bumpCounter(QStringLiteral("jumps"));
    dispatcher.advance(5);
    EXPECT_EQ(cell("jumps", "today"), QStringLiteral("1"));
    window.showWindow();
    window.showWindow();
    EXPECT_EQ(cell("jumps", "today"), QStringLiteral("2"));
    EXPECT_EQ(dispatcher.pendingTimers(), 1u);
}

TEST_F(StatisticsWindowTest, aNewPeriodAsksFirstThenZeroesOnlyThePeriodColumn)
{
    window.showWindow();
    dispatcher.advance(90);
    QTest::mouseClick(child<QPushButton>(&window, QStringLiteral("resetPeriod")), Qt::LeftButton);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(cell("switches", "period"), QStringLiteral("449"));

    answer = true;
    QTest::mouseClick(child<QPushButton>(&window, QStringLiteral("resetPeriod")), Qt::LeftButton);
    for (const char* metric : {"switches", "mousePicks"})
        EXPECT_EQ(cell(metric, "period"), QStringLiteral("0"));
    EXPECT_EQ(cell("switches", "today"), QStringLiteral("37"));
    EXPECT_EQ(cell("switches", "all"), QStringLiteral("1017"));
    EXPECT_TRUE(info("periodInfo").endsWith(QStringLiteral("\nRunning for 0d 00h 00m 00s")));
    EXPECT_TRUE(info("allInfo").endsWith(QStringLiteral("\nThat is 0d 00h 01m 30s ago")));
}

} // namespace
} // namespace zumo
