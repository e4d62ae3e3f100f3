// Grouping windows into applications: owners, names, regular and hidden.
#include <gtest/gtest.h>

#include "platform/x11/X11Workspace.h"

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

TEST(ApplicationGrouping, oneApplicationPerOwnerInStackingOrder)
{
    DesktopSnapshot snapshot;
    snapshot.windows = {window(1, 300, "Term"), window(2, 100, "Editor"), window(3, 300, "Term")};
    DesktopIndex index;
    index.add({QStringLiteral("org.example.Editor"), QStringLiteral("Text Editor"), QStringLiteral("Editor")});

    auto apps = groupApplications(snapshot, index);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].pid, 300);
    EXPECT_EQ(apps[0].bundleId, QStringLiteral("Term"));
    EXPECT_EQ(apps[0].name, QStringLiteral("Term"));
    EXPECT_EQ(apps[1].bundleId, QStringLiteral("org.example.Editor"));
    EXPECT_EQ(apps[1].name, QStringLiteral("Text Editor"));
    EXPECT_TRUE(apps[1].regular);
    EXPECT_FALSE(apps[1].terminated);
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
    snapshot.windows = {panel, skipped, dialog, open, minimised};

    auto apps = groupApplications(snapshot, DesktopIndex{});
    ASSERT_EQ(apps.size(), 4u);
    EXPECT_FALSE(apps[0].regular);
    EXPECT_FALSE(apps[1].regular);
    EXPECT_TRUE(apps[2].regular);
    EXPECT_FALSE(apps[3].hidden);

    snapshot.windows.back().state.hidden = true;
    snapshot.windows[3].wmState = IconicState;
    EXPECT_TRUE(groupApplications(snapshot, DesktopIndex{})[3].hidden);
}

TEST(ApplicationGrouping, topmostWindowWithAnIconGivesTheIcon)
{
    DesktopSnapshot snapshot;
    X11Window low = window(1, 5, "App"), high = window(2, 5, "App"), top = window(3, 5, "App");
    low.icon = QImage(16, 16, QImage::Format_ARGB32);
    high.icon = QImage(32, 32, QImage::Format_ARGB32);
    snapshot.windows = {low, high, top};
    EXPECT_EQ(groupApplications(snapshot, DesktopIndex{})[0].icon.size(), QSize(32, 32));
}

} // namespace
} // namespace zumo::x11
