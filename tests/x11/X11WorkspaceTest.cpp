// Grouping windows into applications, and which one is in front while an activation is in flight.
#include <gtest/gtest.h>

#include "desktop/x11/X11Workspace.h"

namespace zumo::x11 {
namespace {

X11Window window(std::uint32_t id, Pid owner, QString wmClass, WindowKind kind = WindowKind::Normal)
{
    X11Window w;
    w.id = id;
    w.owner = owner;
    w.wmClass = {wmClass.toLower(), wmClass};
    w.kind = kind;
    w.client = QRect(0, 0, 100, 100);
    return w;
}

std::vector<std::shared_ptr<const X11Window>> shared(const std::vector<X11Window>& windows)
{
    std::vector<std::shared_ptr<const X11Window>> result;
    for (const X11Window& w : windows)
        result.push_back(std::make_shared<const X11Window>(w));
    return result;
}

TEST(ApplicationGrouping, regularNeedsATaskbarWindowAndHiddenNeedsAllMinimised)
{
    DesktopSnapshot snapshot;
    X11Window panel = window(1, 10, "Panel", WindowKind::Other);
    X11Window skipped = window(2, 20, "Tool");
    skipped.state.skipTaskbar = true;
    X11Window dialog = window(3, 30, "Dlg", WindowKind::Dialog);
    X11Window open = window(4, 40, "Two"), minimised = window(5, 40, "Two");
    minimised.state.hidden = true;
    snapshot.windows = shared({panel, skipped, dialog, open, minimised});

    auto apps = groupApplications(snapshot, DesktopIndex{});
    ASSERT_EQ(apps.size(), 4u);
    EXPECT_FALSE(apps[0].regular);
    EXPECT_FALSE(apps[1].regular);
    EXPECT_TRUE(apps[2].regular);
    EXPECT_FALSE(apps[3].hidden);

    open.wmState = IconicState;
    snapshot.windows = shared({panel, skipped, dialog, open, minimised});
    EXPECT_TRUE(groupApplications(snapshot, DesktopIndex{})[3].hidden);
}

TEST(ApplicationGrouping, iconFromTheTopmostWindowThenTheDesktopEntryThenTheHints)
{
    DesktopIndex index;
    index.add({QStringLiteral("org.example.Themed"), QStringLiteral("Themed"), QStringLiteral("Themed"),
               QStringLiteral("themed-icon")});
    const ThemeIcons theme = [](const QString& name) {
        return name == QLatin1String("themed-icon") ? QImage(48, 48, QImage::Format_ARGB32) : QImage();
    };
    X11Window low = window(1, 5, "App"), high = window(2, 5, "App"), top = window(3, 5, "App");
    low.icon = QImage(16, 16, QImage::Format_ARGB32);
    high.icon = QImage(32, 32, QImage::Format_ARGB32);
    X11Window themed = window(4, 6, "Themed"), hinted = window(5, 7, "Old");
    themed.hintsIcon = hinted.hintsIcon = QImage(24, 24, QImage::Format_ARGB32);
    DesktopSnapshot snapshot;
    snapshot.windows = shared({low, high, top, themed, hinted, window(6, 8, "Bare")});

    const auto apps = groupApplications(snapshot, index, theme);
    ASSERT_EQ(apps.size(), 4u);
    const std::pair<QSize, IconSource> expected[] = {
        {{32, 32}, IconSource::window}, {{48, 48}, IconSource::theme}, {{24, 24}, IconSource::hints}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::pair(apps[i].icon.size(), apps[i].iconSource), expected[i]) << i;
    EXPECT_TRUE(apps[3].icon.isNull());
}

// Window 1 of pid 10 is in front; window 2 of pid 20 was asked for at t0.
class FrontOwner : public ::testing::Test {
protected:
    using Ms = std::chrono::milliseconds;
    const std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::time_point(Ms(1'000'000));
    RequestedActivation requested{2, 20, 1, 0, t0};
    // The model with that window in front, after that many changes of it since the request.
    static DesktopSnapshot model(std::uint32_t active, std::uint32_t changes = 1)
    {
        DesktopSnapshot snapshot;
        snapshot.active = active;
        snapshot.activeChanges = changes;
        return snapshot;
    }
};

// The requested owner is in front until the model catches up, or another window comes to the front.
TEST_F(FrontOwner, theRequestedOwnerIsInFrontUntilTheModelCatchesUpOrAnotherWindowComesForward)
{
    EXPECT_EQ(frontOwner(model(1), 10, requested, t0), 20);
    EXPECT_EQ(frontOwner(model(0), 0, requested, t0 + Ms(10)), 20) << "focus passing through no window ends nothing";
    EXPECT_EQ(frontOwner(model(2), 20, requested, t0 + Ms(20)), 20);
    EXPECT_EQ(frontOwner(model(3), 30, requested, t0 + Ms(10)), 30);
    EXPECT_EQ(frontOwner(model(1, 2), 10, requested, t0 + Ms(10)), 10) << "answered, then back, in one read";
    requested.window = 0;  // an application-wide request not yet sent
    EXPECT_EQ(frontOwner(model(1), 10, requested, t0 + Ms(10)), 20);
    EXPECT_EQ(frontOwner(model(4), 20, requested, t0 + Ms(10)), 20);
    EXPECT_EQ(frontOwner(model(3), 30, requested, t0 + Ms(10)), 30);
}

TEST_F(FrontOwner, anUnansweredOrUnknownRequestIsNotBelievedForLong)
{
    EXPECT_EQ(frontOwner(model(1), 10, requested, t0 + ActivationBelief - Ms(1)), 20);
    EXPECT_EQ(frontOwner(model(1), 10, requested, t0 + ActivationBelief), 10);
    EXPECT_EQ(frontOwner(model(0), 0, requested, t0 + Ms(10'000)), 0);
    requested.owner = 0;
    EXPECT_EQ(frontOwner(model(1), 10, requested, t0), 10);
    EXPECT_EQ(frontOwner(model(1), 10, std::nullopt, t0), 10);
}

} // namespace
} // namespace zumo::x11
