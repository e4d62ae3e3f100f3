// Property translations: icons (_NET_WM_ICON, and WM_HINTS pixmaps from GetImage data), window
// types, states, frames, work areas of screens and the on-screen rule; and opening a display that
// is not there. Captured windows on and off the current desktop: SwitcherE2e.
#include <gtest/gtest.h>

#include "desktop/x11/HintsIcon.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Screens.h"
#include "desktop/x11/X11Translate.h"
#include "desktop/x11/X11WindowServer.h"

namespace zumo::x11 {
namespace {

std::vector<std::uint32_t> icon(std::uint32_t w, std::uint32_t h, std::uint32_t argb)
{
    std::vector<std::uint32_t> data{w, h};
    data.insert(data.end(), std::size_t(w) * h, argb);
    return data;
}

std::vector<std::uint32_t> join(std::initializer_list<std::vector<std::uint32_t>> parts)
{
    std::vector<std::uint32_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(IconDecoding, bestSizeForTheTileLoneLargeIconsScaledHostileSizesRefused)
{
    const std::uint32_t red = 0xFFFF0000, green = 0x8000FF00;
    auto cut = join({icon(16, 16, red), icon(32, 32, green)});
    cut.resize(cut.size() - 5);  // a property cut short keeps the complete icons before the cut
    const struct {
        const char* what;
        std::vector<std::uint32_t> data;
        QSize shown;  // null: no icon
        std::uint32_t corner = 0;
    } cases[] = {
        {"largest up to 64", join({icon(16, 16, red), icon(48, 48, green), icon(128, 128, red)}), {48, 48}, green},
        {"else the smallest larger, scaled", join({icon(256, 256, red), icon(512, 512, green)}), {128, 128}, red},
        {"a lone 512 icon scaled down", icon(512, 512, green), {128, 128}, green},
        {"a lone 1024 icon scaled down", icon(1024, 1024, red), {128, 128}, red},
        {"aspect kept", icon(600, 300, red), {128, 64}, red},
        {"cut short", cut, {16, 16}, red},
        {"empty", {}, {}},
        {"no pixels", {64}, {}},
        {"zero side", {0, 10, 1, 2}, {}},
        {"65535 square, claimed only", {65535, 65535, red, red}, {}},
        {"65535 square before a good one", join({{65535, 65535}, icon(16, 16, red)}), {}},
        {"overflowing sides", {0xFFFFFFFF, 0xFFFFFFFF, 1}, {}},
        {"absurdly wide", {100000, 1, 0}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage image = decodeIcon(c.data);
        ASSERT_EQ(image.isNull() ? QSize() : image.size(), c.shown);
        if (!image.isNull()) {
            EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), c.corner);  // not premultiplied
        }
    }
}

TEST(WindowKinds, mapToSubroles)
{
    const KindAtoms atoms{10, 11};
    const std::uint32_t dock = 12, utility = 13;
    EXPECT_EQ(subroleFor(windowKind({}, atoms)), QStringLiteral("AXStandardWindow"));
    EXPECT_EQ(subroleFor(windowKind(std::vector<std::uint32_t>{10}, atoms)), QStringLiteral("AXStandardWindow"));
    EXPECT_EQ(subroleFor(windowKind(std::vector<std::uint32_t>{11}, atoms)), QStringLiteral("AXDialog"));
    EXPECT_EQ(subroleFor(windowKind(std::vector<std::uint32_t>{dock}, atoms)), QStringLiteral("AXUnknown"));
    // The first type the window manager knows counts; unknown ones before it are skipped.
    EXPECT_EQ(windowKind(std::vector<std::uint32_t>{utility, 11, 10}, atoms), WindowKind::Dialog);
}

TEST(WindowStates, hiddenOrIconicIsMinimisedAndOnscreenNeedsThisDesktopOrSticky)
{
    const StateAtoms atoms{20, 21, 22};
    WindowState state = parseWindowState(std::vector<std::uint32_t>{99, 21, 22}, atoms);
    EXPECT_FALSE(state.hidden);
    EXPECT_TRUE(state.skipTaskbar);
    EXPECT_TRUE(state.sticky);
    EXPECT_FALSE(isMinimised(state, NormalState));
    EXPECT_TRUE(isMinimised(state, IconicState));
    EXPECT_TRUE(isMinimised(parseWindowState(std::vector<std::uint32_t>{20}, atoms), std::nullopt));

    // On screen: on the current desktop, on all of them, or sticky; and not minimised.
    const WindowState plain, sticky{false, false, true};
    EXPECT_TRUE(isOnscreen(0u, 0, plain, false));
    EXPECT_FALSE(isOnscreen(1u, 0, plain, false));
    EXPECT_TRUE(isOnscreen(AllDesktops, 3, plain, false));
    EXPECT_TRUE(isOnscreen(1u, 0, sticky, false));
    EXPECT_TRUE(isOnscreen(std::nullopt, 2, plain, false));
    EXPECT_FALSE(isOnscreen(0u, 0, plain, true));
}

TEST(Frames, extentsSurroundTheClientSizesInvertAndWorkAreasArePerDesktop)
{
    FrameExtents extents = parseFrameExtents(std::vector<std::uint32_t>{1, 2, 20, 3});
    EXPECT_EQ(extents, (FrameExtents{1, 2, 20, 3}));
    EXPECT_EQ(frameRect(QRect(10, 40, 400, 300), extents), QRect(9, 20, 403, 323));
    EXPECT_EQ(clientSizeForFrame(QSize(403, 323), extents), QSize(400, 300));
    EXPECT_EQ(clientSizeForFrame(QSize(2, 2), extents), QSize(1, 1));
    EXPECT_EQ(parseFrameExtents(std::vector<std::uint32_t>{1, 2}), FrameExtents{});

    // Work areas come as one quadruple per desktop.
    std::vector<std::uint32_t> values{0, 25, 1440, 875, 0, 0, 1440, 900};
    EXPECT_EQ(workArea(values, 1), QRect(0, 0, 1440, 900));
    EXPECT_EQ(workArea(values, 0), QRect(0, 25, 1440, 875));
    EXPECT_FALSE(workArea(values, 2));
    EXPECT_FALSE(workArea(values, AllDesktops));
}

// WM_CLASS as a real client sets it: X11Backend. COMPOUND_TEXT titles: RobustE2e.
TEST(Text, titlesDecodeAsTheirTypeSaysAndEndAtANul)
{
    EXPECT_EQ(decodeText(QByteArray("caf\xc3\xa9"), true), QStringLiteral("café"));
    EXPECT_EQ(decodeText(QByteArray("caf\xe9"), false), QStringLiteral("café"));
    EXPECT_EQ(decodeText(QByteArray("cut\0here", 8), true), QStringLiteral("cut"));
}

TEST(VisibleArea, qtsAvailableGeometryWinsElseTheWorkAreaClipsTheScreen)
{
    const QRect primary(0, 0, 1440, 900), secondary(1440, 0, 1280, 1024);
    EXPECT_EQ(visibleArea(primary, QRect(0, 25, 1440, 875), QRect(0, 0, 1440, 900)), QRect(0, 25, 1440, 875));
    // _NET_WORKAREA spans every screen; each one keeps its own part.
    EXPECT_EQ(visibleArea(secondary, secondary, QRect(0, 30, 2720, 994)), QRect(1440, 30, 1280, 994));
    EXPECT_EQ(visibleArea(secondary, secondary, std::nullopt), secondary);
    EXPECT_EQ(visibleArea(secondary, secondary, QRect(0, 0, 100, 100)), secondary);  // no overlap: whole screen
}

TEST(X11ConnectionOpen, aMissingDisplayGivesASentenceNotACrash)
{
    QString error;
    EXPECT_FALSE(X11Connection::open(error, ":4711"));
    EXPECT_TRUE(error.contains(QStringLiteral("\":4711\""))) << error.toStdString();

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    EXPECT_FALSE(X11Connection::open(error));
    EXPECT_TRUE(error.contains(QStringLiteral("DISPLAY is not set"))) << error.toStdString();
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}

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
