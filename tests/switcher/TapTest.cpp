// The key handler: the per-event decision as a table, and the Tap driving a real Switcher
// through the fake keyboard hook.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/KeyCodes.h"
#include "tests/fakes/FakeKeyboardHook.h"
#include "switcher/Tap.h"
#include "telemetry/EventLog.h"
#include "tests/support/TestSupport.h"
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

TapContext closed()
{
    return {};
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
        {"closed: Command+Option+Tab passes", down(keys::Tab, Command | Option), closed(), &OptionSlots, true, TapVerb::none},
        {"closed: Option+Tab passes with trigger Control", down(keys::Tab, Option), closed(), &ControlSlots, true, TapVerb::none},
        {"closed: Control+Option+Tab passes without that slot", down(keys::Tab, Control | Option), closed(), &ControlSlots, true, TapVerb::none},
        {"closed: key-up passes", of(KeyEventType::KeyUp), closed(), &OptionSlots, true, TapVerb::none},
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

    bool key(std::int64_t code, std::uint64_t flags = Option, const char* chars = "")
    {
        return hook.send(down(code, flags, QString::fromUtf8(chars)));
    }
    bool text(const char* chars) { return key(0, Option, chars); }
    bool release(std::uint64_t flags = 0) { return hook.send(of(KeyEventType::FlagsChanged, flags)); }
    // Started, with n windows, and a run opened by Alt+Tab whose entries have arrived.
    void openRun(int n)
    {
        tap.start();
        givenWindows(n);
        key(keys::Tab);
        deliver();
    }
};

// The refusal is logged once per process, so the story runs in a fresh process of its own:
// whichever tests ran before in this one cannot have used up the line. Returns a failure bit
// per step that went wrong.
int refusalStory(const QStringList& args)
{
    TapRig rig;
    EventLog log(args.value(0), rig.clock);
    installAppLog(&log);
    int failures = 0;
    rig.permissions.trusted = false;
    if (rig.tap.start() || rig.hook.exists())
        failures |= 1;
    rig.permissions.trusted = true;
    rig.hook.refuseCreate = true;
    rig.hook.listenGranted = false;
    if (rig.tap.start() || rig.tap.start() || rig.hook.listenRequests != 2)
        failures |= 2;
    rig.hook.refuseCreate = false;
    if (!rig.tap.start() || !rig.tap.start() || rig.hook.enables != 1)
        failures |= 4;
    installAppLog(nullptr);
    log.drain();
    return failures;
}
const ChildRegistration refusal("tap-refusal", &refusalStory);

TEST(Tap, startNeedsTrustAndLogsARefusalOncePerProcess)
{
    QTemporaryDir logDir;
    QProcess child;
    child.start(selfPath(), {QStringLiteral("--child"), QStringLiteral("tap-refusal"), logDir.path()});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "failed steps (bits): untrusted 1, refused 2, started 4";
    QFile file(logDir.filePath(QStringLiteral("events.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count(QStringLiteral("event tap creation failed (Input Monitoring may be needed)")), 1);
}

TEST(Tap, quickSwitchThroughTheKeys)
{
    TapRig rig;
    rig.slots.rebuildSlots(rig.settings);  // per-app key is on out of the box
    EXPECT_EQ(rig.hook.shortcuts, (std::vector<HookShortcut>{{Option, keys::Tab}, {Option, keys::Grave}}));
    ASSERT_TRUE(rig.tap.start());
    rig.givenWindows(5);
    for (int tab = 0; tab < 3; ++tab)
        EXPECT_FALSE(rig.key(keys::Tab));
    EXPECT_TRUE(rig.hook.capturing);
    EXPECT_FALSE(rig.hook.send(of(KeyEventType::KeyUp, Option)));
    EXPECT_TRUE(rig.release());
    EXPECT_TRUE(rig.sw->isOpen());  // waits for the entries
    rig.deliver();
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(3)});
    EXPECT_EQ(rig.dispatcher.pendingTimers(), 0u);  // no show delay left behind
    EXPECT_EQ(rig.reminder.takes, 0) << "a run never shown must not use up a notice";
    EXPECT_EQ(rig.reminder.nudges, 1);
    EXPECT_TRUE(rig.hook.send(of(KeyEventType::KeyUp)));
    EXPECT_FALSE(rig.hook.capturing);
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

TEST(Tap, disabledOrPausedKeysPassButReleaseStillCommits)
{
    TapRig rig;
    rig.openRun(3);
    rig.store.setValue(QStringLiteral("enabled"), false);
    EXPECT_TRUE(rig.key(keys::Tab));
    EXPECT_EQ(rig.sw->content().selected, 1);
    rig.store.setValue(QStringLiteral("enabled"), true);
    rig.store.setValue(QStringLiteral("pauseUntil"), rig.clock.nowSeconds() + 60);
    EXPECT_TRUE(rig.key(keys::Tab));
    EXPECT_TRUE(rig.release());
    EXPECT_EQ(rig.actions.activated, std::vector<EntryId>{rig.idAt(1)});

    EXPECT_TRUE(rig.key(keys::Tab));  // paused: no new run
    EXPECT_FALSE(rig.sw->isOpen());
    rig.clock.advance(61);
    EXPECT_FALSE(rig.key(keys::Tab));
    EXPECT_TRUE(rig.sw->isOpen());
}

TEST(Tap, hookSwitchedOffCancelsAndComesBack)
{
    TapRig rig;
    rig.openRun(3);
    EXPECT_TRUE(rig.hook.send(of(KeyEventType::DisabledByTimeout)));
    EXPECT_FALSE(rig.sw->isOpen());
    EXPECT_EQ(rig.hook.enables, 2);
    EXPECT_TRUE(rig.actions.activated.empty());

    rig.key(keys::Tab);
    rig.tap.stop();
    EXPECT_FALSE(rig.sw->isOpen());
    EXPECT_FALSE(rig.hook.exists());
    rig.deliver();
    EXPECT_TRUE(rig.actions.activated.empty());
}

} // namespace
} // namespace zumo::test
