// Panel geometry: sizes per entry count, mode, size setting and bands; tile rectangles; hit tests.
#include <gtest/gtest.h>

#include <limits>

#include "panel/PanelLayout.h"

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

} // namespace
} // namespace zumo
