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

TEST(PanelLayout, threeIconTilesFitTheirRowExactly)
{
    const PanelShape shape = icons(3);
    EXPECT_EQ(preferredSize(shape), QSizeF(418, 152));
    EXPECT_EQ(tileRect(shape, 0), QRectF(14, 14, 130, 124));
    EXPECT_EQ(tileRect(shape, 2), QRectF(274, 14, 130, 124));
}

TEST(PanelLayout, hintLineWidensToTheMinimumAndCentresTheTiles)
{
    const PanelShape shape = icons(3, false, true);
    EXPECT_EQ(preferredSize(shape), QSizeF(560, 178));
    EXPECT_DOUBLE_EQ(tileRect(shape, 0).x(), (560 - 390) / 2.0);
    EXPECT_DOUBLE_EQ(tileRect(shape, 2).right(), 560 - (560 - 390) / 2.0);
    EXPECT_DOUBLE_EQ(tileRect(shape, 0).y(), 14);
}

TEST(PanelLayout, searchBandMovesTheTilesDown)
{
    const PanelShape shape = icons(3, true, true);
    EXPECT_EQ(preferredSize(shape), QSizeF(560, 124 + 28 + 34 + 26));
    EXPECT_DOUBLE_EQ(tileRect(shape, 0).y(), 48);
    EXPECT_DOUBLE_EQ(tileRect(shape, 1).y(), 48);
}

TEST(PanelLayout, tenIconTilesWrapIntoTwoRowsOfEightThenTwo)
{
    const PanelShape shape = icons(10);
    EXPECT_EQ(preferredSize(shape), QSizeF(8 * 130 + 28, 2 * 124 + 28));
    EXPECT_EQ(tileRect(shape, 7).topLeft(), QPointF(14 + 7 * 130, 14));
    EXPECT_EQ(tileRect(shape, 8).topLeft(), QPointF(14, 14 + 124));
    EXPECT_EQ(tileRect(shape, 9).topLeft(), QPointF(14 + 130, 14 + 124));
}

TEST(PanelLayout, previewModeUsesFiveLargerColumns)
{
    const PanelShape shape = previews(6);
    EXPECT_EQ(preferredSize(shape), QSizeF(5 * 190 + 28, 2 * 160 + 28));
    EXPECT_EQ(tileRect(shape, 5).topLeft(), QPointF(14, 14 + 160));
}

TEST(PanelLayout, tileSizeSettingScalesTilesAndIsClamped)
{
    EXPECT_DOUBLE_EQ(preferredSize(icons(3, false, false, 2)).width(), 3 * 130 * 1.25 + 28);
    EXPECT_DOUBLE_EQ(preferredSize(icons(3, false, false, 2)).height(), 124 * 1.25 + 28);
    // Out-of-range settings clamp to Small and Large.
    EXPECT_EQ(tileMetrics(-4, true).tileWidth, tileMetrics(0, true).tileWidth);
    EXPECT_EQ(tileMetrics(9, true).tileHeight, tileMetrics(2, true).tileHeight);
}

TEST(PanelLayout, emptyListKeepsOneTileOfRoom)
{
    EXPECT_EQ(preferredSize(icons(0)), QSizeF(158, 152));
    EXPECT_EQ(preferredSize(icons(0, true, true)), QSizeF(560, 152 + 34 + 26));
    EXPECT_EQ(preferredSize(icons(-5)), QSizeF(158, 152));
}

TEST(PanelLayout, tileAtFindsTheTileUnderAPoint)
{
    const PanelShape shape = icons(10, true, true);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(tileAt(shape, tileRect(shape, i).center()), i) << i;
    // Shared edges belong to the first tile in index order.
    EXPECT_EQ(tileAt(shape, QPointF(tileRect(shape, 1).x(), 60)), 0);
}

TEST(PanelLayout, tileAtMissesMarginsBandsAndEmptyGridCells)
{
    const PanelShape shape = icons(10, true, true);
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
