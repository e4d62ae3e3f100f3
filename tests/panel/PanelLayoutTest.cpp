// Panel geometry: sizes per entry count, mode, size setting and bands; tile rectangles; hit tests.
// Tile texts and pointer decisions: badges, subtitles, the hover slop and scroll steps.
#include <gtest/gtest.h>
#include <limits>

#include "panel/PanelLayout.h"
#include "panel/PanelRules.h"

namespace zumo {
namespace {

PanelShape icons(int count, bool query = false, bool hint = false, int tileSize = 1)
{
    return {count, query, hint, tileMetrics(tileSize, false)};
}

PanelShape previews(int count, bool query = false, bool hint = false)
{
    return {count, query, hint, tileMetrics(1, true)};
}

// Each case: the panel's size, and where one tile lands in it.
TEST(PanelLayout, sizesAndTilePlacesFollowCountModeBandsAndTileSize)
{
    const struct {
        const char* name;
        PanelShape shape;
        QSizeF size;
        int tile;
        QPointF tileAt;
    } cases[] = {
        {"three icons fill their row", icons(3), {418, 152}, 2, {274, 14}},
        {"a hint widens to the minimum and centres the tiles", icons(3, false, true), {560, 178}, 0, {85, 14}},
        {"the search band moves the tiles down", icons(3, true, true), {560, 212}, 1, {215, 48}},
        {"ten icons wrap into rows of eight", icons(10), {8 * 130 + 28, 2 * 124 + 28}, 9, {14 + 130, 14 + 124}},
        {"previews use five larger columns", previews(6), {5 * 190 + 28, 2 * 160 + 28}, 5, {14, 14 + 160}},
        {"large tiles", icons(3, false, false, 2), {3 * 130 * 1.25 + 28, 124 * 1.25 + 28}, 0, {14, 14}},
        {"an empty list keeps one tile of room", icons(0), {158, 152}, -1, {}},
        {"a negative count too", icons(-5), {158, 152}, -1, {}},
        {"and with both bands", icons(0, true, true), {560, 152 + 34 + 26}, -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(preferredSize(c.shape), c.size);
        if (c.tile >= 0) {
            EXPECT_EQ(tileRect(c.shape, c.tile).topLeft(), c.tileAt);
        }
    }
    // Out-of-range size settings clamp to Small and Large.
    EXPECT_EQ(tileMetrics(-4, true).tileWidth, tileMetrics(0, true).tileWidth);
    EXPECT_EQ(tileMetrics(9, true).tileHeight, tileMetrics(2, true).tileHeight);
}

TEST(PanelLayout, tileAtFindsTheTileUnderAPointAndMissesMarginsBandsAndEmptyCells)
{
    const PanelShape shape = icons(10, true, true);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(tileAt(shape, tileRect(shape, i).center()), i) << i;
    // Shared edges belong to the first tile in index order.
    EXPECT_EQ(tileAt(shape, QPointF(tileRect(shape, 1).x(), 60)), 0);
    EXPECT_EQ(tileAt(shape, QPointF(5, 60)), -1);             // left margin
    EXPECT_EQ(tileAt(shape, QPointF(100, 20)), -1);           // search band
    EXPECT_EQ(tileAt(shape, QPointF(14 + 2.5 * 130, 200)), -1); // third cell of the short row
    EXPECT_EQ(tileAt(icons(0), QPointF(50, 50)), -1);
}

TEST(PanelLayout, moreRowsThanFitShowOnlyThoseThatFitAndFollowTheSelection)
{
    PanelShape shape = icons(200, false, true);  // 25 rows
    EXPECT_EQ(rowsThatFit(shape, 900), 6);       // 28 + 26 + 6 x 124 = 798; 7 rows need 922
    EXPECT_EQ(rowsThatFit(shape, 10), 1);
    EXPECT_EQ(rowsThatFit(shape, std::numeric_limits<double>::quiet_NaN()), 1);
    shape.maxRows = 6;
    EXPECT_EQ(preferredSize(shape), QSizeF(8 * 130 + 28, 798));

    // Scrolled to show rows 2 to 7.
    shape.firstRow = 2;
    EXPECT_EQ(tileRect(shape, 60).bottom(), 14 + 6 * 124);
    EXPECT_FALSE(tileVisible(shape, 15));
    EXPECT_TRUE(tileVisible(shape, 16));
    EXPECT_FALSE(tileVisible(shape, 64));
    EXPECT_EQ(tileAt(shape, tileRect(shape, 16).center()), 16);
    EXPECT_EQ(tileAt(shape, tileRect(shape, 15).center()), -1);  // above the panel
    EXPECT_EQ(tileAt(shape, tileRect(shape, 64).center()), -1);  // under the hint line
}

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
