#include <gtest/gtest.h>

#include "desktop/atspi/AtspiRules.h"

namespace zumo::atspi {
namespace {

WindowFacts window(const QString& title, QRectF client)
{
    return {42, title, client, client.adjusted(-2, -24, 2, 2)};
}

TEST(AtspiRules, repeatedTitlesAreToldApartByExtentsNearTheClientAreaOrTheFrame)
{
    const QRectF area(100, 100, 800, 600);
    std::vector<FrameCandidate> frames{{QStringLiteral("New Tab"), QRectF(500, 100, 800, 600)},
                                       {QStringLiteral("New Tab"), QRectF(101, 99, 800, 600)},
                                       {QStringLiteral("Other"), QRectF(100, 100, 800, 600)}};
    EXPECT_EQ(matchFrame(frames, window(QStringLiteral("New Tab"), area)), 1u);
    // Extents that include the decoration match the frame instead.
    frames[1].extents = area.adjusted(-2, -24, 2, 2);
    EXPECT_EQ(matchFrame(frames, window(QStringLiteral("New Tab"), area)), 1u);
    // Neither near enough: no frame rather than a wrong one.
    frames[1].extents = QRectF(130, 100, 800, 600);
    EXPECT_FALSE(matchFrame(frames, window(QStringLiteral("New Tab"), area)));
    // Two of the same title and place (on two desktops): neither, rather than the other's tabs.
    frames[0].extents = frames[1].extents = area;
    EXPECT_FALSE(matchFrame(frames, window(QStringLiteral("New Tab"), area)));
}

// The one frame of the window's title is the window whatever its extents; with none of it, the
// nearest by extents.
TEST(AtspiRules, aTitleMatchesWhateverItsExtentsElseTheNearestFrameIsTaken)
{
    const QRectF area(0, 0, 640, 480);
    std::vector<FrameCandidate> frames{{QStringLiteral("a"), std::nullopt}, {QStringLiteral("b"), area}};
    EXPECT_EQ(matchFrame(frames, window(QStringLiteral("a"), {5000, 0, 10, 10})), 0u);
    EXPECT_EQ(matchFrame(frames, window(QStringLiteral("Renamed"), area)), 1u);
    EXPECT_FALSE(matchFrame({}, window(QStringLiteral("Renamed"), area)));
}

TEST(AtspiRules, theSelectingActionIsFoundByNameElseTheOnlyOne)
{
    EXPECT_EQ(selectAction({QStringLiteral("jump"), QStringLiteral("Switch")}), 1);
    EXPECT_EQ(selectAction({QStringLiteral("showMenu"), QStringLiteral("press")}), 1);
    EXPECT_EQ(selectAction({QStringLiteral("whatever")}), 0);
    EXPECT_FALSE(selectAction({QStringLiteral("showMenu"), QStringLiteral("expand")}));
    EXPECT_FALSE(selectAction({}));
}

} // namespace
} // namespace zumo::atspi
