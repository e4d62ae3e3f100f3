// Tests of the window actions and the snap geometry they use.
#include <gtest/gtest.h>

#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeScreens.h"
#include "tests/fakes/FakeWindowServer.h"
#include "tests/fakes/FakeWorkspace.h"
#include "inventory/DesktopActions.h"
#include "inventory/Inventory.h"
#include "inventory/SnapGeometry.h"

using namespace zumo;

namespace {

// The primary screen of the examples: 1440 x 900 with a 25-point top panel.
const Screen primary{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};

QRectF targetOn(const std::vector<Screen>& screens, const QRectF& window, SnapTo to,
                std::optional<int> main = 0)
{
    auto info = chooseSnapScreen(toBottomLeft(screens), main, window);
    return info ? snapTarget(*info, to).value_or(QRectF()) : QRectF();
}

TEST(SnapGeometry, targetsOnTheExampleScreen)
{
    const QRectF window(100, 100, 300, 200);
    EXPECT_EQ(targetOn({primary}, window, SnapTo::left), QRectF(0, 25, 720, 875));
    EXPECT_EQ(targetOn({primary}, window, SnapTo::right), QRectF(720, 25, 720, 875));
    EXPECT_EQ(targetOn({primary}, window, SnapTo::top), QRectF(0, 25, 1440, 437.5));
    EXPECT_EQ(targetOn({primary}, window, SnapTo::bottom), QRectF(0, 462.5, 1440, 437.5));
    EXPECT_EQ(targetOn({primary}, window, SnapTo::full), QRectF(0, 25, 1440, 875));
    EXPECT_EQ(targetOn({primary}, window, SnapTo::center), QRectF(288, 156.25, 864, 612.5));
    auto info = chooseSnapScreen(toBottomLeft({primary}), 0, window);
    EXPECT_FALSE(snapTarget(*info, SnapTo(9)));
}

TEST(SnapGeometry, screenChoiceByCentreThenMainThenFirst)
{
    const Screen right{QRectF(1440, 0, 1920, 1080), QRectF(1440, 0, 1920, 1040)};
    const Screen above{QRectF(0, -1080, 1920, 1080), QRectF(0, -1080, 1920, 1050)};
    const std::vector<Screen> screens{primary, right, above};

    EXPECT_EQ(targetOn(screens, QRectF(1500, 100, 400, 300), SnapTo::full), right.visibleFrame);
    EXPECT_EQ(targetOn(screens, QRectF(100, -900, 400, 300), SnapTo::left), QRectF(0, -1080, 960, 1050))
        << "a screen above the primary keeps its negative y";
    auto info = chooseSnapScreen(toBottomLeft(screens), 0, QRectF(100, -900, 400, 300));
    EXPECT_EQ(info->visibleFrame, QRectF(0, 930, 1920, 1050));
    // A centre exactly on the seam of two screens belongs to the one on the right.
    EXPECT_EQ(targetOn(screens, QRectF(1340, 100, 200, 200), SnapTo::full), right.visibleFrame);

    const QRectF lost(5000, 5000, 100, 100);
    EXPECT_EQ(targetOn(screens, lost, SnapTo::full, 1), right.visibleFrame) << "main screen";
    EXPECT_EQ(targetOn(screens, lost, SnapTo::full, std::nullopt), primary.visibleFrame) << "first screen";
    EXPECT_EQ(targetOn(screens, lost, SnapTo::full, 7), primary.visibleFrame) << "stale main index";
    EXPECT_FALSE(chooseSnapScreen({}, 0, lost));
}

// Activation of real windows, minimised or across desktops, and of tabs: DesktopsE2e,
// WindowManagersE2e and BrowserTabsSwitchE2e; the hop to the main thread every snap takes:
// SwitcherE2e's panel commands and DesktopsE2e's snap under SIGTERM. Hidden after the list was
// built, an app is unhidden; a windowless row only brings its app forward.
TEST(DesktopActions, aHiddenAppIsUnhiddenAndAWindowlessEntryOnlyActivates)
{
    FakeWorkspace workspace;
    FakeAccessibility ax;
    FakeWindowServer server;
    FakeScreens screens;
    FakeClock clock;
    Inventory inventory{workspace, ax, server, clock, InventoryPrefs{}};
    DesktopActions actions{inventory, workspace, ax, server, screens, [](const std::function<void()>& fn) { fn(); }};
    Entry entry;
    entry.app = workspace.add(100, "com.a", "A");
    workspace.find(100)->hidden = true;
    actions.activateEntry(entry);
    EXPECT_EQ(ax.actions(), (QStringList{"frontmost 100"}));
    EXPECT_EQ(workspace.calls, (std::vector<std::pair<QString, Pid>>{{"unhide", 100}, {"activate", 100}}));
}

} // namespace
