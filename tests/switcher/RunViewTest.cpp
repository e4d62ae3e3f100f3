// Which rows of a long list are shown, and the thumbnail scaling of previews.
#include <gtest/gtest.h>

#include <limits>

#include "switcher/RunView.h"
#include "switcher/Thumbnail.h"

namespace zumo {
namespace {

RunView icons(int count, int maxRows, int firstRow, int selected)
{
    RunView view;
    view.entries.resize(std::size_t(count));
    view.maxRows = maxRows;
    view.firstRow = firstRow;
    view.selected = selected;
    return view;
}

// From the last row back to the first: SwitcherTest's many windows.
TEST(RunView, theShownRowsScrollJustEnoughToShowTheSelection)
{
    // 200 entries: 25 rows of eight, six shown.
    EXPECT_EQ(firstRowShowing(icons(200, 6, 0, 60)), 2);   // row 7 becomes the last shown
    EXPECT_EQ(firstRowShowing(icons(200, 6, 2, 20)), 2);   // already shown: no scroll
    // A position left over from a longer list never shows rows past the last.
    EXPECT_EQ(firstRowShowing(icons(200, 6, 40, -1)), 19);
    EXPECT_EQ(firstRowShowing(icons(20, 6, 40, 3)), 0);
    EXPECT_EQ(firstRowShowing(icons(200, 0, 7, 199)), 0);  // no limit
    RunView previews = icons(30, 2, 0, 29);                // five columns: row 5
    previews.previewMode = true;
    EXPECT_EQ(firstRowShowing(previews), 4);
}

QImage solid(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 80, 40));
    return image;
}

TEST(ScaleToFit, shrinksKeepingTheShapeNeverEnlargesKeepsOnePixelAndRefusesEmptyInput)
{
    EXPECT_EQ(scaleToFit(solid(1600, 1000), 380, 200).size(), QSize(320, 200));
    EXPECT_EQ(scaleToFit(solid(1000, 100), 380, 200).size(), QSize(380, 38));
    EXPECT_EQ(scaleToFit(solid(100, 50), 380, 200).size(), QSize(100, 50));
    EXPECT_EQ(scaleToFit(solid(4000, 2), 380, 200).size(), QSize(380, 1));
    EXPECT_EQ(scaleToFit(solid(50, 50), 0, 0).size(), QSize(1, 1));
    EXPECT_TRUE(scaleToFit(QImage(), 380, 200).isNull());
    EXPECT_TRUE(scaleToFit(solid(0, 0), 380, 200).isNull());
    EXPECT_TRUE(scaleToFit(solid(10, 10), std::numeric_limits<double>::quiet_NaN(), 10).isNull());
}

} // namespace
} // namespace zumo
