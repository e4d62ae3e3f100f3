// The tray menu value: pause end times across clock changes and their titles (the switch count
// line, singular and plural: StatusMenuTest).
#include <gtest/gtest.h>

#include "shell/TrayMenu.h"
#include "tests/shell/ShellFakes.h"

namespace zumo::test {
namespace {

double seconds(const QDateTime& moment)
{
    return double(moment.toMSecsSinceEpoch()) / 1000.0;
}

TEST(TrayMenuTest, untilTomorrowEndsAtTheNextSixOClockLocalTimeAcrossDaylightSavingChanges)
{
    EXPECT_EQ(pauseEnd(0, berlinTime(2026, 3, 5, 5, 30), TestZone), seconds(berlinTime(2026, 3, 5, 6, 0)));
    EXPECT_EQ(pauseEnd(0, berlinTime(2026, 3, 5, 6, 0, 0), TestZone), seconds(berlinTime(2026, 3, 6, 6, 0)));
    EXPECT_EQ(pauseEnd(0, berlinTime(2026, 3, 5, 23, 0), TestZone), seconds(berlinTime(2026, 3, 6, 6, 0)));
    // The clocks go forward on 29 March 2026 and back on 25 October 2026 in Berlin: the night is
    // six and eight real hours long, and the pause still ends at six on the wall clock.
    const double spring = pauseEnd(0, berlinTime(2026, 3, 28, 23, 0), TestZone);
    EXPECT_EQ(spring, seconds(QDateTime(QDate(2026, 3, 29), QTime(4, 0), Qt::UTC)));
    EXPECT_EQ(spring - seconds(berlinTime(2026, 3, 28, 23, 0)), 6 * 3600);
    const double autumn = pauseEnd(0, berlinTime(2026, 10, 24, 23, 0), TestZone);
    EXPECT_EQ(autumn, seconds(QDateTime(QDate(2026, 10, 25), QTime(5, 0), Qt::UTC)));
    EXPECT_EQ(autumn - seconds(berlinTime(2026, 10, 24, 23, 0)), 8 * 3600);
}

TEST(TrayMenuTest, pausedUntilNamesTodayAndTomorrowAndDatesBeyond)
{
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QDateTime now = berlinTime(2026, 3, 5, 23, 0);
    EXPECT_EQ(pausedUntilTitle(berlinTime(2026, 3, 5, 23, 15), now, uk, TestZone), "Paused until Today, 23:15");
    EXPECT_EQ(pausedUntilTitle(berlinTime(2026, 3, 6, 6, 0), now, uk, TestZone), "Paused until Tomorrow, 06:00");
    EXPECT_EQ(pausedUntilTitle(berlinTime(2026, 3, 8, 6, 0), now, uk, TestZone), "Paused until 08/03/2026, 06:00");
    // Day names follow the local calendar, not UTC: 00:30 in Berlin on the 6th is still the 5th in UTC.
    EXPECT_EQ(pausedUntilTitle(berlinTime(2026, 3, 6, 0, 30), now, uk, TestZone), "Paused until Tomorrow, 00:30");
}

} // namespace
} // namespace zumo::test
