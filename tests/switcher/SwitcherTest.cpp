// The switcher run: deferred commit (a quick switch through the keys: TapTest), pending moves, show
// delay, generations, search, commands and displays, driven through the fake platform and a
// dispatcher that runs only when told.
#include <gtest/gtest.h>

#include "tests/switcher/SwitcherFakes.h"

namespace zumo::test {
namespace {

using State = Switcher::RunState;

// Apps 101, 102 and 103 with a window each, 101 in front.
class ThreeWindows : public ::testing::Test {
protected:
    ThreeWindows() { rig.givenWindows(3); }
    SwitcherRig rig;
};

// Opening takes the keyboard, two round trips on X11: the entries are being built meanwhile.
TEST_F(ThreeWindows, theEntriesBuildIsUnderWayBeforeTheRunTakesTheKeyboard)
{
    std::size_t buildsWhenOpened = 0;
    const Subscription opening = rig.sw->openChanged.subscribe([&](bool open) {
        if (open)
            buildsWhenOpened = rig.dispatcher.pendingBackground();
    });
    rig.sw->open(false, SlotFilter::all);
    EXPECT_EQ(buildsWhenOpened, 1u);
}

struct StartCase {
    const char* name;
    int entries;
    std::optional<Pid> front;  // frontmost app
    bool backward;
    int moves;  // Tab presses (negative: Shift+Tab) while loading
    int expected;
};

TEST(Switcher, selectionStartsFromFrontAppAndAppliesPendingMoves)
{
    const StartCase cases[] = {
        {"tab tab while loading", 5, 101, false, 2, 3},
        {"backward starts at the last", 5, 101, true, 0, 4},
        {"front app not first", 5, 999, false, 0, 0},
        {"no front app", 5, std::nullopt, false, 0, 0},
        {"single entry of the front app", 1, 101, false, 0, 0},
        {"moves wrap backwards", 5, 101, false, -3, 3},
        {"moves wrap forwards", 5, 101, false, 9, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SwitcherRig rig;
        rig.givenWindows(c.entries);
        rig.workspace.add(999, QStringLiteral("org.other"), QStringLiteral("Other"));
        rig.workspace.frontmost = c.front;
        rig.sw->open(c.backward, SlotFilter::all);
        for (int i = 0; i < std::abs(c.moves); ++i)
            rig.sw->move(c.moves > 0 ? 1 : -1);
        rig.sw->finish(true);
        rig.deliver();
        ASSERT_EQ(rig.actions.activated.size(), 1u);
        EXPECT_EQ(rig.actions.activated[0], rig.idAt(std::size_t(c.expected)));
        EXPECT_EQ(rig.reminder.takes, 0) << "a run never shown must not use up a notice";
        EXPECT_EQ(rig.reminder.nudges, 1);
    }
}

TEST_F(ThreeWindows, aShortcutPressedWhileACommitAwaitsItsEntriesLandsThatCommitFirst)
{
    rig.sw->open(false, SlotFilter::all);
    rig.sw->finish(true);
    ASSERT_TRUE(rig.sw->isCommitPending());
    // The next run opens at once, after the first has been carried out from entries built now.
    rig.sw->open(false, SlotFilter::all);
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(1)});
    ASSERT_FALSE(rig.inventory.builds.empty());
    EXPECT_TRUE(rig.inventory.builds.back().tabsRemembered) << "built with the keyboard held: no browser asked";
    EXPECT_TRUE(rig.sw->isLoading());
    EXPECT_FALSE(rig.sw->isCommitPending());
    rig.sw->move(1);
    rig.sw->finish(true);
    rig.deliver();  // the first run's late result is stale and changes nothing
    EXPECT_EQ(rig.actions.activated.size(), 2u);
    EXPECT_EQ(rig.count("switches"), 2);
    EXPECT_EQ(rig.sw->state(), State::closed);
}

TEST_F(ThreeWindows, filtersApplyAtDeliveryAndAnEmptyListEndsSilently)
{
    bool lastOpen = false;
    int flips = 0;
    const Subscription subscription = rig.sw->openChanged.subscribe([&](bool open) {
        lastOpen = open;
        ++flips;
    });
    rig.sw->open(false, SlotFilter::minimized);  // none of the three is minimised
    rig.sw->finish(true);
    rig.deliver();

    EXPECT_EQ(rig.sw->state(), State::closed);
    EXPECT_TRUE(rig.actions.activated.empty());
    EXPECT_FALSE(rig.panels.visible());
    EXPECT_EQ(rig.dispatcher.pendingTimers(), 0u);
    EXPECT_EQ(flips, 2);
    EXPECT_FALSE(lastOpen);
    EXPECT_EQ(rig.count("switches"), 0);

    rig.inventory.entries[0].tab = ElementRef(1);
    rig.inventory.entries[2].tab = ElementRef(2);
    rig.sw->open(false, SlotFilter::tabs);
    rig.deliver();
    EXPECT_EQ(rig.sw->allEntries().size(), 2u);
    EXPECT_EQ(rig.count("tabsListed"), 2);
}

TEST_F(ThreeWindows, staleBuildsAndCapturesAreDroppedAfterANewRun)
{
    std::vector<Entry> first = rig.inventory.entries;
    first[0].tab = ElementRef(77);
    std::vector<Entry> second(rig.inventory.entries.begin() + 1, rig.inventory.entries.end());
    rig.inventory.script = {first, second};

    rig.sw->open(false, SlotFilter::all);
    rig.sw->finish(false);
    rig.sw->open(false, SlotFilter::all);
    rig.sw->finish(true);
    rig.deliver();

    // Applied, the first list would have committed its second entry and counted a tab.
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{second[0].id});
    EXPECT_EQ(rig.count("tabsListed"), 0);

    // A preview captured for an earlier run of the same entries.
    const std::uint64_t firstRun = rig.sw->gen();
    rig.sw->open(false, SlotFilter::all);
    rig.deliver();

    QImage late(40, 20, QImage::Format_ARGB32_Premultiplied);
    late.fill(Qt::blue);
    rig.sw->previewCaptured(firstRun, rig.idAt(0), late);
    EXPECT_TRUE(rig.sw->allEntries()[0].thumb.isNull());
    EXPECT_TRUE(rig.sw->content().entries[0].thumb.isNull());
    rig.sw->show();
    rig.sw->previewCaptured(rig.sw->gen(), rig.idAt(0), late);
    EXPECT_FALSE(rig.panels.drawn.entries[0].thumb.isNull());
}

TEST(Switcher, previewsAreCapturedOnlyForTheRowsShown)
{
    SwitcherRig rig;
    rig.givenWindows(40);  // eight rows of five previews
    rig.store.setValue(QStringLiteral("previews"), true);
    rig.panels.fitRows = 2;
    rig.openAndShow();
    rig.deliver();
    EXPECT_EQ(rig.actions.captured.size(), 30u);  // before any show: six rows
    rig.sw->finish(false);
    rig.actions.captured.clear();
    rig.openAndShow();
    rig.deliver();
    EXPECT_EQ(rig.actions.captured.size(), 10u);  // the two rows that fit last time
    rig.sw->move(10);  // to the third row: one row scrolls in
    rig.deliver();
    EXPECT_EQ(rig.actions.captured.size(), 15u);
}

// A snap that switches and ends its run, counted: SwitcherE2e's panel commands.
TEST_F(ThreeWindows, snapCommitsOnlyTheRunItWasStartedIn)
{
    rig.openAndShow();
    rig.sw->snapSelected(SnapTo::left);
    rig.sw->finish(false);
    rig.sw->open(false, SlotFilter::all);
    rig.deliver();
    EXPECT_EQ(rig.actions.snapped.size(), 1u);
    EXPECT_EQ(rig.sw->state(), State::loadedHidden);
    EXPECT_TRUE(rig.actions.activated.empty());

    // Where windows cannot be moved the hint line says so and the run stays open.
    rig.permissions.movable = false;
    rig.openAndShow();
    rig.sw->snapSelected(SnapTo::left);
    EXPECT_EQ(rig.sw->content().hint, QString::fromUtf8(SnapUnavailableNotice));
    EXPECT_TRUE(rig.sw->isOpen());
    EXPECT_EQ(rig.actions.snapped.size(), 1u);
}

TEST_F(ThreeWindows, showWaitsForTheDelayUnlessTheSelectionMoves)
{
    rig.store.setValue(QStringLiteral("showDelay"), 0.25);
    rig.sw->open(false, SlotFilter::all);
    rig.deliver();
    EXPECT_EQ(rig.sw->state(), State::loadedHidden);
    EXPECT_DOUBLE_EQ(rig.dispatcher.lastTimerDelay(), 0.25);
    rig.dispatcher.advance(0.2);
    EXPECT_FALSE(rig.panels.visible());
    rig.dispatcher.advance(0.05);
    EXPECT_EQ(rig.sw->state(), State::shown);
    EXPECT_TRUE(rig.panels.visible());
    rig.sw->finish(false);
    rig.dispatcher.runMain();  // the panel goes right after the activation request
    EXPECT_FALSE(rig.panels.visible());

    rig.sw->open(false, SlotFilter::all);
    rig.deliver();
    rig.sw->move(1);  // a second Tab
    EXPECT_EQ(rig.sw->state(), State::shown);
    EXPECT_EQ(rig.sw->content().selected, 2);
    EXPECT_EQ(rig.dispatcher.pendingTimers(), 0u);
}

// Typing and choosing on real keys: LayoutsE2e and SwitcherE2e; here what the order of events decides.
TEST_F(ThreeWindows, searchStories)
{
    rig.openAndShow();
    rig.sw->beginSearch();
    rig.sw->typeText(QStringLiteral("zq"));
    rig.deliver();
    EXPECT_TRUE(rig.panels.drawn.entries.empty());
    EXPECT_TRUE(rig.sw->isOpen());
    EXPECT_FALSE(rig.sw->selectedEntry());
    rig.sw->backspace();
    rig.sw->backspace();
    EXPECT_EQ(rig.panels.drawn.entries.size(), 3u);
    EXPECT_TRUE(rig.sw->isSearching());
    rig.sw->backspace();
    EXPECT_FALSE(rig.sw->isSearching());

    // The late result of a query already left is dropped.
    rig.sw->beginSearch();
    rig.sw->typeText(QStringLiteral("zq"));  // scored in the background, not yet back
    rig.sw->leaveSearch();
    rig.sw->beginSearch();
    rig.deliver();
    EXPECT_EQ(rig.panels.drawn.entries.size(), 3u);

    // Released right after the typing, before the ranking is back: the best match is chosen,
    // not the row shown before it.
    rig.sw->typeText(QStringLiteral("window 2"));
    rig.sw->finish(true);
    EXPECT_TRUE(rig.sw->isOpen());
    rig.deliver();
    EXPECT_FALSE(rig.sw->isOpen());
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(2)});
}

// Keys typed before the entries are in wait for them and act in their order; the release then
// commits. Three windows, the second preselected.
TEST(Switcher, keysTypedWhileLoadingActInOrderOnceTheEntriesAreIn)
{
    struct Case {
        const char* name;
        void (*keys)(Switcher&);
        int activated;  // index of the window switched to, -1 for none
        int closed;     // index of the window closed, -1 for none
    };
    const Case cases[] = {
        {"w closes the selected one, the run goes on", [](Switcher& s) { s.closeSelected(); }, 2, 1},
        {"Tab, then w, then Tab", [](Switcher& s) { s.move(1), s.closeSelected(), s.move(1); }, 0, 2},
        {"a search, the best match chosen", [](Switcher& s) { s.beginSearch(), s.typeText(QStringLiteral("window 2")); }, 2, -1},
        {"a search left again, then a Tab", [](Switcher& s) { s.beginSearch(), s.typeText(QStringLiteral("w")), s.leaveSearch(), s.move(1); }, 1, -1},
        {"a digit jumps", [](Switcher& s) { s.jump(2); }, 2, -1},
        {"a digit past the entries does nothing", [](Switcher& s) { s.jump(7); }, 1, -1},
        {"keys after the release belong to no run", [](Switcher& s) { s.finish(true), s.closeSelected(); }, 1, -1},
        {"w, then Escape: the window closes all the same", [](Switcher& s) { s.closeSelected(), s.finish(false); }, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SwitcherRig rig;
        rig.givenWindows(3);
        rig.sw->open(false, SlotFilter::all);
        ASSERT_TRUE(rig.sw->isLoading());
        c.keys(*rig.sw);
        rig.sw->finish(true);
        rig.deliver();
        EXPECT_EQ(rig.actions.activated, c.activated < 0 ? std::vector<EntryId>{}
                                                         : std::vector<EntryId>{rig.idAt(std::size_t(c.activated))});
        EXPECT_EQ(rig.actions.closed, c.closed < 0 ? std::vector<ElementRef>{}
                                                   : std::vector<ElementRef>{*rig.inventory.entries[std::size_t(c.closed)].window});
    }
}

// Previews need the permission, arrive scaled down, and stay through a search ranked meanwhile.
TEST_F(ThreeWindows, previewsNeedPermissionAndSearchResultsKeepThoseThatArrivedMeanwhile)
{
    rig.store.setValue(QStringLiteral("previews"), true);
    rig.permissions.capture = false;
    rig.openAndShow();
    EXPECT_FALSE(rig.sw->content().previewMode);
    EXPECT_TRUE(rig.actions.captured.empty());
    rig.sw->finish(false);

    rig.permissions.capture = true;
    rig.sw->open(false, SlotFilter::all);
    rig.dispatcher.runBackground();
    rig.dispatcher.runMain();  // entries in, captures queued behind
    rig.sw->beginSearch();
    rig.sw->typeText(QStringLiteral("window"));
    rig.deliver();  // captures land first, then the ranking
    EXPECT_TRUE(rig.sw->content().previewMode);
    ASSERT_EQ(rig.sw->content().entries.size(), 3u);
    for (const Entry& e : rig.sw->content().entries)
        EXPECT_EQ(e.thumb.size(), QSize(380, 190));
}

// Closing a tile on a real window, the run going on: SwitcherE2e's panel commands; here the
// selection stays in range.
TEST(Switcher, closeHideAndQuitRemoveTheirRowsAndTheLastOneClosesTheRun)
{
    SwitcherRig rig;
    rig.givenWindows(2);
    rig.inventory.entries.push_back(windowEntry(102, QStringLiteral("Another of 102")));
    rig.inventory.entries.push_back(windowEntry(102, QStringLiteral("Third of 102")));
    rig.openAndShow();  // app 102's first window is selected
    rig.sw->select(3);
    rig.sw->closeSelected();
    EXPECT_EQ(rig.sw->content().selected, 2);  // moved to the new last
    rig.sw->select(1);
    rig.sw->hideSelected();
    EXPECT_EQ(rig.actions.hidden, std::vector<Pid>{102});
    EXPECT_EQ(rig.sw->allEntries().size(), 1u);
    EXPECT_EQ(rig.sw->content().selected, 0);

    rig.sw->quitSelected();
    EXPECT_EQ(rig.actions.quit, std::vector<Pid>{101});
    EXPECT_EQ(rig.sw->state(), State::closed);
    rig.deliver();
    EXPECT_FALSE(rig.panels.visible());
    EXPECT_TRUE(rig.actions.activated.empty());
    EXPECT_EQ(rig.count("hides") + rig.count("quits"), 2);
    EXPECT_EQ(rig.actions.closed.size(), 1u);
}

TEST(Switcher, closeDependsOnWhatTheEntryIs)
{
    struct Case {
        const char* name;
        bool tab, window, otherSpace;
        int closes, quits;
        bool notice;
    };
    const Case cases[] = {
        {"tab row refuses", true, true, false, 0, 0, true},
        {"app row quits", false, false, false, 0, 1, false},
        {"other desktop without element", false, false, true, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SwitcherRig rig;
        rig.givenWindows(2);
        Entry& e = rig.inventory.entries[0];
        e.tab = c.tab ? std::optional<ElementRef>(9) : std::nullopt;
        e.window = c.window ? e.window : std::nullopt;
        e.otherSpace = c.otherSpace;
        rig.workspace.frontmost = std::nullopt;
        rig.openAndShow();
        rig.sw->closeSelected();
        rig.deliver();
        EXPECT_EQ(int(rig.actions.closed.size()), c.closes);
        EXPECT_EQ(int(rig.actions.quit.size()), c.quits);
        EXPECT_EQ(rig.sw->notice().has_value(), c.notice);
        if (c.notice) {
            EXPECT_EQ(rig.sw->content().hint, std::optional<QString>(QString::fromUtf8(TabCloseNotice)));
            EXPECT_EQ(rig.sw->allEntries().size(), 2u);
        }
        EXPECT_TRUE(rig.actions.activated.empty());
    }
}

TEST_F(ThreeWindows, pointerInputFromThePanels)
{
    rig.sw->open(false, SlotFilter::all);
    EXPECT_EQ(rig.panels.pointerResets, 1);
    rig.deliver();
    rig.panels.hovered.notify(2);  // not shown yet: a resting pointer must not move the selection
    EXPECT_EQ(rig.sw->content().selected, 1);
    rig.sw->show();
    rig.panels.hovered.notify(2);
    EXPECT_EQ(rig.panels.drawn.selected, 2);
    rig.panels.scrolled.notify(1);
    EXPECT_EQ(rig.panels.drawn.selected, 0);
    rig.panels.picked.notify(7);
    EXPECT_TRUE(rig.sw->isOpen());
    rig.panels.picked.notify(1);
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(1)});
    EXPECT_EQ(rig.count("mousePicks"), 1);
}

TEST(Switcher, targetScreensFollowDisplayMode)
{
    const std::vector<Screen> three{
        {QRectF(0, 0, 1440, 900), {}}, {QRectF(1440, 0, 1920, 1080), {}}, {QRectF(3360, 0, 1280, 1024), {}}};
    const QPointF onSecond(2000, 500);  // all three in order: the mirrors story below
    EXPECT_EQ(targetScreenIndices(three, 0, onSecond, 0), std::vector<int>{1});
    EXPECT_EQ(targetScreenIndices(three, 0, onSecond, -3), std::vector<int>{1});
    EXPECT_EQ(targetScreenIndices(three, 0, onSecond, 1), std::vector<int>{0});
    // The border pixel belongs to the display on its right only.
    EXPECT_EQ(targetScreenIndices(three, 0, QPointF(1440, 10), 0), std::vector<int>{1});
    // Off every display: the main one, else the first.
    EXPECT_EQ(targetScreenIndices(three, 2, QPointF(-50, -50), 0), std::vector<int>{2});
    EXPECT_EQ(targetScreenIndices(three, std::nullopt, QPointF(-50, -50), 0), std::vector<int>{0});
    EXPECT_EQ(targetScreenIndices(three, 7, QPointF(-50, -50), 0), std::vector<int>{0});
    EXPECT_TRUE(targetScreenIndices({}, 0, onSecond, 2).empty());
}

TEST(Switcher, manyWindowsShowOnlyTheRowsThatFitWithTheSelectionOnScreen)
{
    SwitcherRig rig;
    rig.givenWindows(200);  // 25 rows of eight
    rig.panels.fitRows = 6;
    rig.openAndShow(true);  // backward: the selection starts on the last row
    EXPECT_DOUBLE_EQ(rig.panels.askedHeight, 875);  // the work area, not the whole display
    EXPECT_EQ(rig.panels.drawn.maxRows, 6);
    EXPECT_EQ(rig.panels.drawn.firstRow, 19);
    rig.sw->move(1);  // wraps to the first entry
    EXPECT_EQ(rig.panels.drawn.firstRow, 0);
}

TEST(Switcher, preparingReadiesThePanelForTheWindowsOfNowWithoutShowingIt)
{
    SwitcherRig rig;
    rig.givenWindows(30);
    rig.panels.fitRows = 2;
    rig.sw->prepare();
    ASSERT_TRUE(rig.panels.warmed);
    EXPECT_EQ(rig.panels.warmed->entries.size(), 30u);
    EXPECT_EQ(rig.panels.warmed->maxRows, 2);  // sized as a real run would be
    EXPECT_FALSE(rig.panels.visible());
    EXPECT_EQ(rig.sw->state(), State::closed);

    // An open run keeps the panel to itself.
    rig.panels.warmed.reset();
    rig.sw->open(false, SlotFilter::all);
    rig.sw->prepare();
    EXPECT_FALSE(rig.panels.warmed);
}

TEST_F(ThreeWindows, mirrorsShowOnTheOtherDisplaysAndFollowTheirChanges)
{
    rig.screens.list = {{QRectF(0, 0, 1440, 900), {}}, {QRectF(1440, 0, 1920, 1080), {}},
                        {QRectF(3360, 0, 1280, 1024), {}}};
    rig.screens.pointer = QPointF(2000, 500);
    rig.store.setValue(QStringLiteral("displayMode"), 2);
    rig.openAndShow();
    EXPECT_EQ(rig.panels.frames, (std::vector<QRect>{QRect(1440, 0, 1920, 1080), QRect(0, 0, 1440, 900),
                                                      QRect(3360, 0, 1280, 1024)}));
    rig.screens.list.pop_back();
    rig.screens.changed.notify();
    EXPECT_EQ(rig.panels.frames.size(), 2u);

    rig.panels.picked.notify(2);
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(2)});
    EXPECT_TRUE(rig.panels.visible());  // until the activation request has gone out
    rig.dispatcher.runMain();
    EXPECT_FALSE(rig.panels.visible());
}

TEST_F(ThreeWindows, resultsForASwitcherThatIsGoneAreIgnored)
{
    rig.store.setValue(QStringLiteral("previews"), true);
    rig.sw->open(false, SlotFilter::all);
    rig.sw->finish(true);
    rig.sw.reset();
    rig.deliver();
    rig.screens.changed.notify();
    EXPECT_TRUE(rig.actions.activated.empty());
}

} // namespace
} // namespace zumo::test
