// WM_HINTS icons: which pixmaps the hints name, and GetImage data turned into pixels.
#include <gtest/gtest.h>

#include "desktop/x11/HintsIcon.h"

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

} // namespace
} // namespace zumo::x11
