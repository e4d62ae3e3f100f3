// Tests of browser recognition, the tab search and the tab cache.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeClock.h"
#include "inventory/BrowserTabs.h"
#include "tests/support/TestSupport.h"

using namespace zumo;

namespace {

constexpr double NoLimit = 1e12;

// Known browsers by id prefix, case and all; a name that merely contains one is not a browser.
TEST(IsBrowser, prefixesOfKnownBrowsersCount)
{
    for (const char* id : {"com.google.Chrome.canary", "firefox-esr", "Google-chrome", "Brave-browser"})
        EXPECT_TRUE(isBrowser(QString::fromLatin1(id))) << id;
    for (const char* id : {"", "com.google.chrome", "com.google.Chrom", "xterm", "my-firefox"})
        EXPECT_FALSE(isBrowser(QString::fromLatin1(id))) << id;
}

class TabsTest : public ::testing::Test {
  protected:
    FakeAccessibility ax;
    FakeClock clock;
    TabCollector collector{ax, clock};

    ElementRef newWindow() { return ax.addChild(0, "AXWindow"); }
    ElementRef tabGroup(ElementRef parent, const QStringList& titles, int selected = 0)
    {
        ElementRef group = ax.addChild(parent, "AXTabGroup");
        for (int i = 0; i < titles.size(); ++i)
            ax.set(ax.addChild(group, "AXRadioButton", titles[i]), "AXValue", i == selected ? 1 : 0);
        return group;
    }
    // The collector's browser window: tabs a and b.
    const ElementRef browser = newWindow();
    const ElementRef browserTabs = tabGroup(browser, {"a", "b"});
};

TEST_F(TabsTest, firstTabGroupWithTabsWinsAndEmptyTitlesBecomeTab)
{
    ElementRef window = newWindow();
    ElementRef toolbar = ax.addChild(window, "AXToolbar");
    tabGroup(toolbar, {"hidden in a toolbar"});
    ElementRef empty = ax.addChild(window, "AXTabGroup");
    ax.addChild(empty, "AXButton", "not a tab");
    ElementRef group = ax.addChild(window, "AXGroup");
    ElementRef tabs = ax.addChild(group, "AXTabGroup");
    ElementRef first = ax.addChild(tabs, "AXTab", "");
    ax.set(first, "AXValue", 1);
    ax.addChild(tabs, "AXStaticText", "label");
    ElementRef second = ax.addChild(tabs, "AXRadioButton", "Docs");
    ax.set(second, "AXValue", "1"); // not a number
    tabGroup(group, {"later group"});

    std::vector<TabRef> found = tabsOfWindow(ax, window);
    ASSERT_EQ(test::titles(found), (QStringList{"Tab", "Docs"}));
    EXPECT_EQ(found[0].element, first);
    EXPECT_TRUE(found[0].selected);
    EXPECT_FALSE(found[1].selected);
    EXPECT_EQ(ax.timeoutOf(window), 0.1);
}

// The search goes ten levels deep, through role-less elements and no other roles, and gives up
// after 250 elements (the window is the first).
TEST_F(TabsTest, searchLimitsDepthRolesAndElements)
{
    const auto found = [&](int depth, const QString& role, int fillers) {
        ElementRef window = newWindow();
        for (int i = 0; i < fillers; ++i)
            ax.addChild(window, "AXButton");
        ElementRef parent = window;  // under depth containers of the role
        for (int i = 0; i < depth; ++i)
            parent = ax.addChild(parent, role);
        tabGroup(parent, {"a", "b"});
        return tabsOfWindow(ax, window).size() == 2;
    };
    EXPECT_TRUE(found(9, "AXGroup", 0));  // the group at depth 10
    EXPECT_FALSE(found(10, "AXGroup", 0));
    EXPECT_TRUE(found(1, "", 0));
    EXPECT_FALSE(found(1, "AXScrollArea", 0));
    EXPECT_TRUE(found(0, "", 248));  // the group is the 250th element
    EXPECT_FALSE(found(0, "", 249));
}

TEST_F(TabsTest, cacheAnswersForTwoSecondsThenRecomputes)
{
    auto first = collector.collectTabs(7, {browser}, NoLimit);
    ASSERT_EQ(first.size(), 1u);

    ax.addChild(browserTabs, "AXRadioButton", "c");
    clock.advance(1.9);
    EXPECT_EQ(collector.collectTabs(7, {browser, 99}, NoLimit), first)
        << "fresh result returned even for other windows";
    EXPECT_EQ(collector.collectTabs(8, {browser}, NoLimit)[0].second.size(), 3u) << "the cache is per process";

    clock.advance(0.1);
    EXPECT_EQ(collector.collectTabs(7, {browser}, NoLimit)[0].second.size(), 3u);

    ax.addChild(browserTabs, "AXRadioButton", "d");
    clock.advance(-60);
    EXPECT_EQ(collector.collectTabs(7, {browser}, NoLimit)[0].second.size(), 4u)
        << "a clock set back must not keep a result for ever";
}

// A browser slow or stopped costs one build its budget at most, and its last tabs stay.
TEST_F(TabsTest, theBrowserIsAskedOnlyWithinTheBuildsBudget)
{
    ASSERT_EQ(collector.collectTabs(7, {browser}, clock.nowSeconds() + 1)[0].second.size(), 2u);
    ASSERT_EQ(ax.limits.size(), 2u);
    EXPECT_NEAR(ax.limits[0].value_or(0), 1.0, 1e-6);
    EXPECT_FALSE(ax.limits[1]) << "limited, then lifted";

    ax.addChild(browserTabs, "AXRadioButton", "c");
    clock.advance(TabCollector::maxAge);
    const int reads = ax.reads();
    EXPECT_EQ(collector.collectTabs(7, {browser}, clock.nowSeconds())[0].second.size(), 2u)
        << "no time left: the last tabs, however old";
    EXPECT_EQ(ax.reads(), reads) << "and the browser is not asked";
    EXPECT_TRUE(collector.collectTabs(8, {browser}, clock.nowSeconds()).empty());

    ax.onRead = [&](ElementRef, const QString&) { clock.advance(0.05); };
    EXPECT_EQ(collector.collectTabs(7, {browser}, clock.nowSeconds() + 0.06)[0].second.size(), 2u)
        << "a walk cut short gives the last tabs";
    ax.onRead = nullptr;
    EXPECT_EQ(collector.collectTabs(7, {browser}, clock.nowSeconds() + 1)[0].second.size(), 3u)
        << "and was not remembered";
}

TEST_F(TabsTest, lockIsNotHeldWhileTheBrowserIsAsked)
{
    ElementRef other = ax.newElement();

    // While the first collection reads from the browser, another thread collects for another
    // process; it must not wait for the first.
    std::promise<void> otherDone;
    std::future<void> done = otherDone.get_future();
    bool started = false;
    ax.onRead = [&](ElementRef element, const QString&) {
        if (element != browser || started)
            return;
        started = true;
        std::thread([this, other, &otherDone] {
            collector.collectTabs(2, {other}, NoLimit);
            otherDone.set_value();
        }).detach();
        EXPECT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    };
    EXPECT_EQ(collector.collectTabs(1, {browser}, NoLimit)[0].second.size(), 2u);
    ax.onRead = nullptr;
}

} // namespace
