// Reading captured pixels (the window records a real desktop gives, on and off the current
// desktop: tests/e2e SwitcherE2e.otherDesktopsLeftOutOrListed...).
#include <gtest/gtest.h>

#include "desktop/x11/X11WindowServer.h"

namespace zumo::x11 {
namespace {

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
