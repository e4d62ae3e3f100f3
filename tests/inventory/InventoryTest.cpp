// Tests of the entry list: which apps, which rows, in what order.
#include <gtest/gtest.h>

#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeWindowServer.h"
#include "tests/fakes/FakeWorkspace.h"
#include "inventory/Inventory.h"
#include "tests/support/TestSupport.h"

using namespace zumo;
using zumo::test::titles;

namespace {

class InventoryTest : public ::testing::Test {
  protected:
    FakeWorkspace workspace;
    FakeAccessibility ax;
    FakeWindowServer server;
    FakeClock clock;
    bool windowless = false;
    std::optional<QMap<QString, QString>> modes;
    Inventory inventory{workspace, ax, server, clock,
                        InventoryPrefs{[this] { return windowless; }, [this] { return modes; }}};

    std::vector<Entry> build(BuildOptions options = {})
    {
        return inventory.buildEntries(inventory.switchableApps(), options);
    }
    static std::vector<Pid> pids(const std::vector<RunningApp>& apps)
    {
        std::vector<Pid> list;
        for (const RunningApp& app : apps)
            list.push_back(app.pid);
        return list;
    }
};

TEST_F(InventoryTest, switchableAppsLeavesOutOwnAgentsTerminatedAndHiddenAndOrdersByRecency)
{
    workspace.add(1, "com.a", "A");
    workspace.add(2, "com.zumo.app", "Zumo");
    workspace.add(3, "com.agent", "Agent").regular = false;
    workspace.add(4, "com.dead", "Dead").terminated = true;
    workspace.add(5, "com.secret", "Secret");
    workspace.add(6, "com.b", "B");
    workspace.add(7, "com.c", "C");
    workspace.add(8, "", "No id");
    modes = QMap<QString, QString>{{"com.secret", "hide"}, {"com.b", "dim"}};
    EXPECT_EQ(pids(inventory.switchableApps()), (std::vector<Pid>{1, 6, 7, 8}));

    inventory.noteAppUsed(6);
    inventory.noteAppUsed(7);
    EXPECT_EQ(pids(inventory.switchableApps()), (std::vector<Pid>{7, 6, 1, 8}));
}

TEST_F(InventoryTest, windowlessAppsDependOnTheSettingInBothModes)
{
    workspace.add(1, "com.a", "A");
    ax.addWindow(1, "Palette", QRectF(0, 0, 100, 100), "AXFloatingWindow");
    workspace.add(2, "com.hung", "Hung");
    ax.silent.insert(2);

    for (bool perWindow : {true, false}) {
        BuildOptions options;
        options.perWindow = perWindow;
        windowless = false;
        EXPECT_TRUE(build(options).empty()) << perWindow;
        windowless = true;
        std::vector<Entry> entries = build(options);
        ASSERT_EQ(entries.size(), 2u) << perWindow;
        EXPECT_EQ(titles(entries), (QStringList{"A", "Hung"}));
        EXPECT_FALSE(entries[0].window);
        EXPECT_FALSE(entries[0].minimized);
    }
}

TEST_F(InventoryTest, windowRowsKeepOrderUseAppNameForEmptyTitlesAndSkipOtherSubroles)
{
    RunningApp& app = workspace.add(1, "com.a", "Editor");
    app.icon = QImage(16, 16, QImage::Format_ARGB32);
    ElementRef doc = ax.addWindow(1, "doc.txt", QRectF(0, 0, 500, 400));
    ax.addWindow(1, "", QRectF(10, 10, 500, 400), "AXDialog");
    ax.addWindow(1, "ghost", QRectF(0, 0, 10, 10), ""); // no subrole
    ax.set(doc, "AXMinimized", true);
    workspace.add(2, "com.b", "Blank"); // no icon
    ax.addWindow(2, "b", QRectF(0, 0, 500, 400));

    std::vector<Entry> entries = build();
    ASSERT_EQ(titles(entries), (QStringList{"doc.txt", "Editor", "b"}));
    EXPECT_EQ(entries[0].window, doc);
    EXPECT_TRUE(entries[0].minimized);
    EXPECT_FALSE(entries[1].minimized);
    EXPECT_EQ(entries[0].icon.size(), QSize(16, 16));
    EXPECT_EQ(server.listReads(), 0) << "the window list is read only for previews or other desktops";
}

TEST_F(InventoryTest, identicalFramesTakeSuccessiveNumbersAndThreePointsOffIsNoMatch)
{
    workspace.add(1, "com.a", "A");
    ax.addWindow(1, "one", QRectF(100, 100, 400, 300));
    ax.addWindow(1, "two", QRectF(100, 100, 400, 300));
    ax.addWindow(1, "near", QRectF(600, 100, 400, 300));
    ax.addWindow(1, "far", QRectF(1200, 100, 400, 300));
    server.add(1, 11, QRectF(100, 100, 400, 300));
    server.add(1, 12, QRectF(101, 99, 402, 297.5));
    server.add(1, 13, QRectF(602.9, 100, 400, 300));
    server.add(1, 14, QRectF(1200, 100, 400, 303));
    server.add(1, 0x1'0000'0000LL, QRectF(1200, 100, 400, 300)); // not a valid window number
    server.add(2, 15, QRectF(1200, 100, 400, 300));              // another app's window
    server.add(1, 16, QRectF(1200, 100, 400, 300)).layer = 25;   // a panel, not a window

    BuildOptions options;
    options.previews = true;
    std::vector<std::optional<std::uint32_t>> ids;
    for (const Entry& e : build(options))
        ids.push_back(e.windowID);
    EXPECT_EQ(ids, (std::vector<std::optional<std::uint32_t>>{11u, 12u, 13u, std::nullopt}));
    EXPECT_EQ(server.listReads(), 1);
}

TEST_F(InventoryTest, otherDesktopWindowsFollowTheAppsWindowsWhenBigVisibleAndOffscreen)
{
    workspace.add(1, "com.a", "Mail");
    ax.addWindow(1, "Inbox", QRectF(0, 0, 800, 600));
    server.add(1, 20, QRectF(0, 0, 800, 600)); // the Inbox itself
    server.add(1, 21, QRectF(0, 0, 800, 600), false, "Drafts");
    server.add(1, 22, QRectF(0, 0, 120, 600), false, "narrow");
    server.add(1, 23, QRectF(0, 0, 800, 80), false, "flat");
    server.add(1, 24, QRectF(0, 0, 800, 600), true, "onscreen");
    server.add(1, 25, QRectF(0, 0, 800, 600), false, "clear").alpha = 0.0;
    server.add(1, 26, QRectF(0, 0, 121, 81), false); // unnamed: app name
    server.add(1, 26, QRectF(0, 0, 121, 81), false); // the same window twice
    server.add(1, 27, QRectF(0, 0, 800, 600), false, "no alpha").alpha.reset();

    BuildOptions options;
    options.spaces = true;
    std::vector<Entry> entries = build(options);
    EXPECT_EQ(titles(entries), (QStringList{"Inbox", "Drafts", "Mail", "no alpha"}));
    EXPECT_EQ(entries[0].windowID, 20u);
    EXPECT_TRUE(entries[1].otherSpace);
    EXPECT_FALSE(entries[1].window);
    EXPECT_EQ(entries[1].windowID, 21u);

    options.perWindow = false;
    EXPECT_EQ(titles(build(options)), (QStringList{"Mail"}));
    EXPECT_EQ(server.listReads(), 1) << "one-row-per-app without previews needs no list";
}

TEST_F(InventoryTest, oneRowPerAppCarriesTheFirstWindowAndItsMinimisedFlag)
{
    workspace.add(1, "com.a", "A");
    ElementRef first = ax.addWindow(1, "first", QRectF(0, 0, 300, 300));
    ax.addWindow(1, "second", QRectF(0, 0, 300, 300));
    ax.set(first, "AXMinimized", true);
    workspace.add(2, "com.b", "B");
    ax.addWindow(2, "only", QRectF(0, 0, 300, 300));

    BuildOptions options;
    options.perWindow = false;
    std::vector<Entry> entries = build(options);
    ASSERT_EQ(titles(entries), (QStringList{"A", "B"}));
    EXPECT_EQ(entries[0].window, first);
    EXPECT_TRUE(entries[0].minimized);
    EXPECT_FALSE(entries[1].minimized);
    EXPECT_FALSE(entries[0].windowID);

    options.onlyPID = 2;
    EXPECT_EQ(titles(build(options)), (QStringList{"B"}));
}

// A browser window with the given tab titles; the first is selected.
ElementRef browserWindow(FakeAccessibility& ax, Pid pid, const QString& title, const QStringList& tabs)
{
    ElementRef window = ax.addWindow(pid, title, QRectF(0, 0, 1000, 700));
    ElementRef group = ax.addChild(window, "AXTabGroup");
    for (int i = 0; i < tabs.size(); ++i)
        ax.set(ax.addChild(group, "AXRadioButton", tabs[i]), "AXValue", i == 0 ? 1 : 0);
    return window;
}

TEST_F(InventoryTest, browserWindowsWithTwoOrMoreTabsBecomeTabRows)
{
    workspace.add(1, "org.mozilla.firefox", "Firefox");
    browserWindow(ax, 1, "Single", {"Only tab"});
    ElementRef multi = browserWindow(ax, 1, "Multi", {"News", "Mail", "Docs"});
    server.add(1, 40, QRectF(0, 0, 1000, 700));
    server.add(1, 41, QRectF(0, 0, 1000, 700));
    workspace.add(2, "com.example.editor", "Editor"); // not a browser: its tabs are not searched
    browserWindow(ax, 2, "Editor window", {"One", "Two"});

    BuildOptions options;
    options.tabs = true;
    options.previews = true;
    std::vector<Entry> entries = build(options);
    ASSERT_EQ(titles(entries), (QStringList{"Single", "News", "Mail", "Docs", "Editor window"}));
    EXPECT_FALSE(entries[0].tab);
    EXPECT_EQ(entries[0].windowID, 40u);
    EXPECT_EQ(entries[2].window, multi);
    EXPECT_EQ(entries[2].windowTitle, "Multi");
    EXPECT_EQ(entries[1].windowID, 41u);
    EXPECT_FALSE(entries[2].windowID);
    EXPECT_FALSE(entries[3].windowID);

    options.perWindow = false;
    EXPECT_EQ(titles(build(options)), (QStringList{"Firefox", "Editor"})) << "tabs only in per-window mode";
    options.perWindow = true;
    options.tabs = false;
    EXPECT_EQ(titles(build(options)), (QStringList{"Single", "Multi", "Editor window"}));
}

} // namespace
