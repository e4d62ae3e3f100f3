// Tile texts and pointer decisions: badges, subtitles, the hover slop and scroll steps.
#include <gtest/gtest.h>

#include <limits>

#include "panel/PanelRules.h"

namespace zumo {
namespace {

Entry entry(const QString& app, const QString& title)
{
    Entry e;
    e.app.name = app;
    e.title = title;
    return e;
}

TEST(PanelRules, subtitleIsTheAppNameUnlessItRepeatsTheTitleAndMarksTabsAndOtherDesktops)
{
    EXPECT_EQ(subtitleText(entry("Mail", "Inbox")), "Mail");
    EXPECT_TRUE(subtitleText(entry("Files", "Files")).isEmpty());
    EXPECT_TRUE(subtitleText(entry("", "")).isEmpty());
    Entry tab = entry("Browser", "Browser");
    tab.tab = 7;
    EXPECT_EQ(subtitleText(tab), "Browser · tab");

    Entry away = entry("Files", "Files");
    away.otherSpace = true;
    EXPECT_EQ(subtitleText(away), "Files · other desktop");
    away.tab = 3;  // another desktop wins over tab
    EXPECT_EQ(subtitleText(away), "Files · other desktop");

    Entry nameless = entry("", "Untitled");
    nameless.tab = 1;
    EXPECT_EQ(subtitleText(nameless), " · tab");
}

TEST(PanelRules, jitterIsNoHoverButASlowPointerHoversOnceItHasTravelledFarEnough)
{
    const QPointF anchor(100, 100);
    EXPECT_FALSE(decideHover(anchor, QPointF(103, 100)).hover);
    EXPECT_EQ(decideHover(anchor, QPointF(102, 102)).anchor, anchor);
    EXPECT_TRUE(decideHover(anchor, QPointF(103.1, 100)).hover);

    std::optional<QPointF> at = QPointF(0, 0);
    int hovers = 0;
    for (int x = 1; x <= 8; ++x) {
        const HoverDecision d = decideHover(at, QPointF(x, 0));
        at = d.anchor;
        hovers += d.hover ? 1 : 0;
    }
    EXPECT_EQ(hovers, 2);  // at 4 and at 8
}

TEST(PanelRules, scrollDirectionLargeAndNonFiniteDeltas)
{
    // Direction and the step size through real wheel events: SwitcherViewTest.
    const ScrollDecision big = accumulateScroll(0, -400);
    EXPECT_EQ(big.step, 1);
    EXPECT_DOUBLE_EQ(big.accumulated, 0);
    // A reversal first cancels what was accumulated the other way.
    EXPECT_EQ(accumulateScroll(-10, -20).step, 0);
    EXPECT_EQ(accumulateScroll(10, -5).step, 1);
    const ScrollDecision nan = accumulateScroll(5, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(nan.step, 0);
    EXPECT_DOUBLE_EQ(nan.accumulated, 5);
    EXPECT_EQ(accumulateScroll(5, std::numeric_limits<double>::infinity()).step, 0);
}

} // namespace
} // namespace zumo
