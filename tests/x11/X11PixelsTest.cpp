// X image data turned into pixels: WM_HINTS icons (which pixmaps the hints name, GetImage data) and
// captured windows (on and off the current desktop: tests/e2e SwitcherE2e.otherDesktopsLeftOutOrListed...).
#include <gtest/gtest.h>

#include "desktop/x11/HintsIcon.h"
#include "desktop/x11/X11WindowServer.h"

namespace zumo::x11 {
namespace {

TEST(HintsIcon, pixmapAndMaskBecomeAnImageWithTransparentHoles)
{
    EXPECT_EQ(parseHintsIcon(std::vector<std::uint32_t>{(1 << 2) | (1 << 5), 1, 1, 0x41, 0, 0, 0, 0x42, 0}),
              (HintsPixmaps{0x41, 0x42}));
    EXPECT_EQ(parseHintsIcon(std::vector<std::uint32_t>{1 << 2, 1, 1, 0x41, 0, 0, 0, 0x42, 0}), (HintsPixmaps{0x41, 0}));
    EXPECT_FALSE(parseHintsIcon(std::vector<std::uint32_t>{1 << 5, 1, 1, 0x41, 0, 0, 0, 0x42, 0}));

    // Three pixels a row, rows padded to 32 bits: blue, red, green over a mask with the middle
    // pixel clear; then the same shape as a bitmap, in both bit orders.
    const PixelLayout colour{24, 32, 32, true}, lsb{1, 1, 32, true}, msb{1, 1, 32, false};
    const std::vector<std::uint8_t> pixels{0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0};
    const std::vector<std::uint8_t> mask{0b101, 0, 0, 0};
    QImage image = pixmapImage(QSize(3, 1), colour, pixels, &lsb, mask);
    ASSERT_EQ(image.size(), QSize(3, 1));
    EXPECT_EQ(image.pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(qAlpha(image.pixel(1, 0)), 0);
    EXPECT_EQ(image.pixel(2, 0), 0xFF00FF00u);
    image = pixmapImage(QSize(3, 1), msb, std::vector<std::uint8_t>{0b0100'0000, 0, 0, 0});
    EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(1, 0), 0xFF000000u);

    EXPECT_TRUE(pixmapImage(QSize(3, 2), colour, pixels).isNull());       // a row short
    EXPECT_TRUE(pixmapImage(QSize(3, 1), {16, 16, 32, true}, pixels).isNull());  // a depth not read
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
