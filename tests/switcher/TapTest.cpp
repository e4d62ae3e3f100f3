// The key handler: the per-event decision as a table, and the Tap driving a real Switcher
// through the fake keyboard hook.
#include <gtest/gtest.h>

#include "platform/KeyCodes.h"
#include "tests/fakes/FakeKeyboardHook.h"
#include "switcher/Tap.h"
#include "tests/switcher/SwitcherFakes.h"

namespace zumo::test {
namespace {

using keys::Command;
using keys::Control;
using keys::Option;
using keys::Shift;

KeyEvent down(std::int64_t code, std::uint64_t flags, QString chars = {})
{
    return KeyEvent{KeyEventType::KeyDown, code, flags, std::move(chars)};
}
KeyEvent typed(const char* chars, std::uint64_t flags = Option)
{
    return down(0, flags, QString::fromUtf8(chars));
}
KeyEvent of(KeyEventType type, std::uint64_t flags = 0)
{
    return KeyEvent{type, 0, flags, {}};
}

TapContext running(bool loading = false, bool searching = false, int shown = 4)
{
    TapContext c;
    c.open = true;
    c.loading = loading;
    c.searching = searching;
    c.shown = loading ? 0 : shown;
    c.activeMask = Option;
    c.activeKey = keys::Tab;
    return c;
}
TapContext with(TapContext c, void (*edit)(TapContext&))
{
    edit(c);
    return c;
}

const std::vector<Slot> OptionSlots{{Option, keys::Tab, SlotFilter::all}, {Option, keys::Grave, SlotFilter::currentApp}};
const std::vector<Slot> ControlSlots{{Control, keys::Tab, SlotFilter::all}};
const std::vector<Slot> SpaceSlots{{Option, keys::Tab, SlotFilter::all}, {Option, keys::Space, SlotFilter::tabs}};

struct DecisionCase {
    const char* name;
    KeyEvent event;
    TapContext context;
    const std::vector<Slot>* slots;
    bool passOn;
    TapVerb verb;
    int amount = 0;
    bool commitFirst = false;
};

// Alt+Tab opening, Tab and Shift+Tab moving, Escape and the number keys: SwitcherE2e, on real keys;
// the per-app key opening for the front app: LayoutsE2e.
TEST(TapDecision, table)
{
    const TapContext spaceRun = with(running(false, true), [](TapContext& c) { c.activeKey = keys::Space; });
    const TapContext disabledRun = with(running(), [](TapContext& c) { c.enabled = false; });
    const TapContext pausedRun = with(running(), [](TapContext& c) { c.paused = true; });
    const TapContext bothHeld = with(running(), [](TapContext& c) { c.activeMask = Control | Option; });
    const DecisionCase cases[] = {
        {"closed: Command+Option+Tab passes", down(keys::Tab, Command | Option), TapContext{}, &OptionSlots, true, TapVerb::none},
        {"closed: Option+Tab passes with trigger Control", down(keys::Tab, Option), TapContext{}, &ControlSlots, true, TapVerb::none},
        {"closed: Control+Option+Tab passes without that slot", down(keys::Tab, Control | Option), TapContext{}, &ControlSlots, true, TapVerb::none},
        {"closed: key-up passes", of(KeyEventType::KeyUp), TapContext{}, &OptionSlots, true, TapVerb::none},
        {"open: key-up swallowed", of(KeyEventType::KeyUp), running(), &OptionSlots, false, TapVerb::none},
        {"open: release commits and passes", of(KeyEventType::FlagsChanged, 0), running(), &OptionSlots, true, TapVerb::commit},
        {"open: Shift change passes", of(KeyEventType::FlagsChanged, Option | Shift), running(), &OptionSlots, true, TapVerb::none},
        {"open: releasing either of two commits", of(KeyEventType::FlagsChanged, Option), bothHeld, &OptionSlots, true, TapVerb::commit},
        {"open: grave moves", down(keys::Grave, Option, "`"), running(), &OptionSlots, false, TapVerb::move, 1},
        {"searching: Tab still moves", down(keys::Tab, Option), running(false, true), &OptionSlots, false, TapVerb::move, 1},
        {"searching: grave does not move", down(keys::Grave, Option, "`"), running(false, true), &OptionSlots, false, TapVerb::none},
        {"searching: the active key types", down(keys::Space, Option, " "), spaceRun, &SpaceSlots, false, TapVerb::type},
        {"open: the active key moves", down(keys::Space, Option, " "), with(spaceRun, [](TapContext& c) { c.searching = false; }), &SpaceSlots, false, TapVerb::move, 1},
        {"open: Return commits", down(keys::Return, Option), running(), &OptionSlots, false, TapVerb::commit},
        {"searching: Escape leaves search", down(keys::Escape, Option), running(false, true), &OptionSlots, false, TapVerb::leaveSearch},
        {"open: Left", down(keys::Left, Option), running(), &OptionSlots, false, TapVerb::move, -1},
        {"open: Down", down(keys::Down, Option), running(), &OptionSlots, false, TapVerb::moveRow, 1},
        {"open: q quits", typed("q"), running(), &OptionSlots, false, TapVerb::quit},
        {"open: c snaps", typed("c"), running(), &OptionSlots, false, TapVerb::snap},
        {"open: other letters swallowed", typed("z"), running(), &OptionSlots, false, TapVerb::none},
        {"open: 9 with four entries", typed("9"), running(), &OptionSlots, false, TapVerb::none},
        {"loading: 5 jumps once the entries are in", typed("5"), running(true), &OptionSlots, false, TapVerb::jump, 4},
        {"loading, searching: a is typed", typed("a"), running(true, true), &OptionSlots, false, TapVerb::type},
        {"searching: q is typed", typed("q"), running(false, true), &OptionSlots, false, TapVerb::type},
        {"searching: Delete", down(keys::Delete, Option, "\x7f"), running(false, true), &OptionSlots, false, TapVerb::backspace},
        {"searching: symbols are not typed", typed("+"), running(false, true), &OptionSlots, false, TapVerb::none},
        {"disabled: passes while open", down(keys::Tab, Option), disabledRun, &OptionSlots, true, TapVerb::none},
        {"paused: passes while open", down(keys::Tab, Option), pausedRun, &OptionSlots, true, TapVerb::none},
        {"disabled: release still commits", of(KeyEventType::FlagsChanged, 0), disabledRun, &OptionSlots, true, TapVerb::commit},
        {"hook off while open cancels", of(KeyEventType::DisabledByTimeout), running(), &OptionSlots, true, TapVerb::cancel},
        {"missed release while loading: commit, then move", down(keys::Tab, 0), running(true), &OptionSlots, false, TapVerb::move, 1, true},
        {"missed release: commit, then a shortcut reopens", down(keys::Tab, Option), bothHeld, &OptionSlots, false, TapVerb::open, 0, true},
        {"missed release: commit, then the key passes", typed("a", 0), running(), &OptionSlots, true, TapVerb::none, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TapAction a = decideTap(c.event, c.context, *c.slots);
        EXPECT_EQ(a.passOn, c.passOn);
        EXPECT_EQ(a.verb, c.verb);
        EXPECT_EQ(a.amount, c.amount);
        EXPECT_EQ(a.commitFirst, c.commitFirst);
        EXPECT_EQ(a.reenable, c.event.type == KeyEventType::DisabledByTimeout
                                  || c.event.type == KeyEventType::DisabledByUserInput);
    }
}

// A Tap wired to a real Switcher on the fake platform.
struct TapRig : SwitcherRig {
    FakeKeyboardHook hook;
    ActiveSlots slots;
    Tap tap{*sw, hook, slots, settings, counters, permissions, clock};

    bool key(std::int64_t code, std::uint64_t flags = Option) { return hook.send(down(code, flags)); }
    bool release(std::uint64_t flags = 0) { return hook.send(of(KeyEventType::FlagsChanged, flags)); }
};

TEST(Tap, startNeedsTrustAndAHookAndAsksForListenAccessUntilItHasOne)
{
    TapRig rig;
    rig.permissions.trusted = false;
    EXPECT_FALSE(rig.tap.start());
    EXPECT_FALSE(rig.hook.exists());
    rig.permissions.trusted = true;
    rig.hook.refuseCreate = true;
    rig.hook.listenGranted = false;
    EXPECT_FALSE(rig.tap.start() || rig.tap.start());
    EXPECT_EQ(rig.hook.listenRequests, 2);
    rig.hook.refuseCreate = false;
    EXPECT_TRUE(rig.tap.start() && rig.tap.start());
    EXPECT_EQ(rig.hook.enables, 1);
}

// A second Alt+Tab before the entries arrive lands the first run at once (SwitcherTest, and
// RobustE2eTest's back-to-back pairs); a Tab with no new press of Alt belongs to the loading run.
TEST(Tap, aTabAfterTheReleaseWithoutANewAltPressStillMovesTheLoadingRun)
{
    TapRig rig;
    ASSERT_TRUE(rig.tap.start());
    rig.givenWindows(5);
    rig.key(keys::Tab);
    rig.release();
    rig.key(keys::Tab);
    rig.deliver();
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(2)});
}

// Disabled, paused and the hook switched off while open: the table above, and on real keys
// ShellE2e (pause) and KeyboardHookTest (a keyboard taken away). Stopped while the entries load,
// the run ends and its late entries commit nothing.
TEST(Tap, stoppingWhileTheEntriesLoadEndsTheRunWithoutASwitch)
{
    TapRig rig;
    ASSERT_TRUE(rig.tap.start());
    rig.givenWindows(3);
    rig.key(keys::Tab);
    rig.tap.stop();
    EXPECT_FALSE(rig.sw->isOpen());
    EXPECT_FALSE(rig.hook.exists());
    rig.deliver();
    EXPECT_TRUE(rig.actions.activated.empty());
}

} // namespace
} // namespace zumo::test
