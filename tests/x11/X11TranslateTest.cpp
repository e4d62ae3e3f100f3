// Property translations: icons, window types, states, frames and the on-screen rule.
#include <gtest/gtest.h>

#include "platform/x11/X11Translate.h"

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

TEST(IconChoice, prefersTheLargestUpTo64ElseTheSmallestLarger)
{
    EXPECT_EQ(chooseIcon({QSize(16, 16), QSize(128, 128), QSize(48, 48), QSize(64, 64)}), 3u);
    EXPECT_EQ(chooseIcon({QSize(256, 256), QSize(128, 128), QSize(512, 512)}), 1u);
    EXPECT_EQ(chooseIcon({QSize(32, 96)}), 0u);  // only one, though taller than 64
    EXPECT_FALSE(chooseIcon({}));
}

TEST(IconDecoding, picksTheChosenIconAndKeepsItsPixels)
{
    auto data = join({icon(16, 16, 0xFF0000FF), icon(48, 48, 0x8000FF00), icon(128, 128, 0xFFFF0000)});
    QImage image = decodeIcon(data);
    ASSERT_EQ(image.size(), QSize(48, 48));
    EXPECT_EQ(image.pixel(47, 47), 0x8000FF00u);  // not premultiplied: alpha and colour as given
}

TEST(IconDecoding, malformedOrTruncatedDataNeverReadsPastTheEnd)
{
    EXPECT_TRUE(decodeIcon({}).isNull());
    EXPECT_TRUE(decodeIcon(std::vector<std::uint32_t>{64}).isNull());
    EXPECT_TRUE(decodeIcon(std::vector<std::uint32_t>{0, 10, 1, 2}).isNull());
    EXPECT_TRUE(decodeIcon(std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF, 1}).isNull());  // no overflow
    EXPECT_TRUE(decodeIcon(std::vector<std::uint32_t>{100000, 1, 0}).isNull());              // absurd side

    // A property cut short keeps the complete icons before the cut.
    auto data = join({icon(16, 16, 0xFF112233), icon(32, 32, 0xFF445566)});
    data.resize(data.size() - 5);
    EXPECT_EQ(iconSizes(data), std::vector<QSize>{QSize(16, 16)});
    EXPECT_EQ(decodeIcon(data).size(), QSize(16, 16));
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

TEST(WindowStates, hiddenOrIconicMeansMinimised)
{
    const StateAtoms atoms{20, 21, 22};
    WindowState state = parseWindowState(std::vector<std::uint32_t>{99, 21, 22}, atoms);
    EXPECT_FALSE(state.hidden);
    EXPECT_TRUE(state.skipTaskbar);
    EXPECT_TRUE(state.sticky);
    EXPECT_FALSE(isMinimised(state, NormalState));
    EXPECT_TRUE(isMinimised(state, IconicState));
    EXPECT_TRUE(isMinimised(parseWindowState(std::vector<std::uint32_t>{20}, atoms), std::nullopt));
}

TEST(OnscreenRule, currentDesktopAllDesktopsOrStickyAndNotMinimised)
{
    const WindowState plain, sticky{false, false, true};
    EXPECT_TRUE(isOnscreen(0u, 0, plain, false));
    EXPECT_FALSE(isOnscreen(1u, 0, plain, false));
    EXPECT_TRUE(isOnscreen(AllDesktops, 3, plain, false));
    EXPECT_TRUE(isOnscreen(1u, 0, sticky, false));
    EXPECT_TRUE(isOnscreen(std::nullopt, 2, plain, false));
    EXPECT_FALSE(isOnscreen(0u, 0, plain, true));
}

TEST(Frames, extentsSurroundTheClientAndSizesInvert)
{
    FrameExtents extents = parseFrameExtents(std::vector<std::uint32_t>{1, 2, 20, 3});
    EXPECT_EQ(extents, (FrameExtents{1, 2, 20, 3}));
    EXPECT_EQ(frameRect(QRect(10, 40, 400, 300), extents), QRect(9, 20, 403, 323));
    EXPECT_EQ(clientSizeForFrame(QSize(403, 323), extents), QSize(400, 300));
    EXPECT_EQ(clientSizeForFrame(QSize(2, 2), extents), QSize(1, 1));
    EXPECT_EQ(parseFrameExtents(std::vector<std::uint32_t>{1, 2}), FrameExtents{});
}

TEST(Text, wmClassAndTitlesDecode)
{
    WmClass both = parseWmClass(QByteArray("navigator\0Firefox\0", 18));
    EXPECT_EQ(both.instance, QStringLiteral("navigator"));
    EXPECT_EQ(both.className, QStringLiteral("Firefox"));
    EXPECT_EQ(parseWmClass(QByteArray("solo")).className, QString());
    EXPECT_EQ(decodeText(QByteArray("caf\xc3\xa9"), true), QStringLiteral("café"));
    EXPECT_EQ(decodeText(QByteArray("caf\xe9"), false), QStringLiteral("café"));
    EXPECT_EQ(decodeText(QByteArray("cut\0here", 8), true), QStringLiteral("cut"));
}

TEST(WorkAreas, perDesktopQuadruples)
{
    std::vector<std::uint32_t> values{0, 25, 1440, 875, 0, 0, 1440, 900};
    EXPECT_EQ(workArea(values, 1), QRect(0, 0, 1440, 900));
    EXPECT_EQ(workArea(values, 0), QRect(0, 25, 1440, 875));
    EXPECT_FALSE(workArea(values, 2));
    EXPECT_FALSE(workArea(values, AllDesktops));
}

} // namespace
} // namespace zumo::x11
