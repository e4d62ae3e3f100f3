// Window records from a snapshot, and reading captured pixels.
#include <gtest/gtest.h>

#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"

namespace zumo::x11 {
namespace {

TEST(WindowRecords, frontToBackWithFrameBoundsLayersAndOnscreen)
{
    DesktopSnapshot snapshot;
    snapshot.currentDesktop = 0;
    X11Window bottom, elsewhere, dock;
    bottom.id = 11;
    bottom.owner = 7;
    bottom.title = QStringLiteral("Bottom");
    bottom.desktop = 0;
    bottom.client = QRect(10, 30, 200, 100);
    bottom.extents = {1, 1, 20, 1};
    elsewhere = bottom;
    elsewhere.id = 12;
    elsewhere.desktop = 1;
    dock.id = 13;
    dock.kind = WindowKind::Other;
    for (const X11Window& w : {bottom, elsewhere, dock})
        snapshot.windows.push_back(std::make_shared<const X11Window>(w));

    auto records = windowRecords(snapshot);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].number, 13);
    EXPECT_EQ(records[0].layer, 1);
    EXPECT_FALSE(records[0].bounds);  // geometry never read
    EXPECT_EQ(records[1].onscreen, false);
    EXPECT_EQ(records[2].onscreen, true);
    EXPECT_EQ(records[2].layer, 0);
    EXPECT_EQ(records[2].bounds, QRectF(9, 10, 202, 121));
}

TEST(ZPixmapImages, readsDepth24And32AndRefusesOtherLayouts)
{
    std::vector<std::uint8_t> pixels{0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x80};  // 2 x 1, BGRX
    QImage rgb = imageFromZPixmap(pixels.data(), pixels.size(), 2, 1, 24, 32, true);
    ASSERT_EQ(rgb.format(), QImage::Format_RGB32);
    EXPECT_EQ(rgb.pixel(0, 0), 0xFF112233u);
    EXPECT_EQ(imageFromZPixmap(pixels.data(), pixels.size(), 2, 1, 32, 32, true).format(),
              QImage::Format_ARGB32_Premultiplied);

    EXPECT_TRUE(imageFromZPixmap(pixels.data(), pixels.size(), 2, 2, 24, 32, true).isNull());  // short buffer
    EXPECT_TRUE(imageFromZPixmap(pixels.data(), pixels.size(), 4, 1, 16, 16, true).isNull());
    EXPECT_TRUE(imageFromZPixmap(pixels.data(), pixels.size(), 2, 1, 24, 32, false).isNull());
    EXPECT_TRUE(imageFromZPixmap(nullptr, 0, 0, 0, 24, 32, true).isNull());
}

} // namespace
} // namespace zumo::x11
