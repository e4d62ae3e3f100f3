// The tray menu driven like a user: choosing items in the drawn QMenu, and the half-second poll
// bringing the icon and the keyboard hook in step.
#include <QAction>
#include <QMenu>

#include "platform/Log.h"
#include "shell/StatePoll.h"
#include "shell/StatusMenu.h"
#include "shell/TapHookControl.h"
#include "switcher/Tap.h"
#include "tests/fakes/FakeKeyboardHook.h"
#include "tests/shell/ShellFakes.h"
#include "tests/switcher/SwitcherFakes.h"

namespace zumo::test {
namespace {

QAction* findAction(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text)
            return action;
        if (action->menu())
            if (QAction* inner = findAction(*action->menu(), text))
                return inner;
    }
    return nullptr;
}

class StatusMenuTest : public ShellTest {
protected:
    StatusMenu menu{{settings, counters, clock, hook}, TestZone, QLocale(QLocale::English, QLocale::UnitedKingdom)};
    StatePoll poll{{hook, permissions, settings, counters, clock, dispatcher, menu, settingsWindow}};

    StatusMenuTest()
    {
        hook.installed = true;
        menu.updateStatusItem();
    }

    void click(const QString& text)
    {
        QAction* action = findAction(menu.tray().menu(), text);
        ASSERT_NE(action, nullptr) << qPrintable(text);
        action->trigger();
    }
};

// The poll also starts the automatic new period (its rule: CountersTest).
TEST_F(StatusMenuTest, pauseForAQuarterHourDimsTheIconUntilThePollSeesItEnd)
{
    store.setValue("stats.auto", 1);
    store.setValue("stats.periodSince", clock.nowSeconds() - 86400);
    store.setValue("period.switches", 4);
    poll.start(true);
    click("For 15 minutes");  // stored, and lifted by Resume Now, over a real tray: ShellE2e
    EXPECT_TRUE(menu.tray().look().paused);
    EXPECT_EQ(menu.tray().look().opacity, 0.45);
    EXPECT_EQ(menu.tray().headerStatus(), "Paused");

    dispatcher.advance(899.5);  // polled at 10:14:59.5: still paused
    EXPECT_TRUE(menu.tray().look().paused);
    dispatcher.advance(0.5);  // polled at 10:15:00, when the pause has run out
    EXPECT_FALSE(menu.tray().look().paused);
    EXPECT_EQ(menu.tray().look().opacity, 1.0);
    EXPECT_EQ(findAction(menu.tray().menu(), "Resume Now"), nullptr);
    EXPECT_FALSE(store.contains("period.switches"));
}

TEST_F(StatusMenuTest, resumeAndToggleWriteTheStoreAndAskTheSettingsWindowToReload)
{
    int changes = 0;
    auto sub = menu.stateChanged.subscribe([&] { ++changes; });
    click("Until tomorrow");  // its end and title: TrayMenuTest; Resume Now over a real tray: ShellE2e
    click("Resume Now");

    ASSERT_TRUE(findAction(menu.tray().menu(), "Enable Zumo")->isChecked());
    click("Enable Zumo");
    EXPECT_FALSE(settings.enabled());
    EXPECT_FALSE(findAction(menu.tray().menu(), "Enable Zumo")->isChecked());
    EXPECT_EQ(menu.tray().headerStatus(), "Off");
    EXPECT_EQ(changes, 3);
}

TEST_F(StatusMenuTest, switchCountsAreReadWhenTheMenuOpens)
{
    counters.bumpCounter("switches");
    menu.tray().menu().aboutToShow();
    EXPECT_NE(findAction(menu.tray().menu(), QString::fromUtf8("⚡ 1 window switch · 1 today")), nullptr);

    store.setValue("menuCounter", true);
    counters.bumpCounter("switches");
    poll.tick();
    EXPECT_EQ(menu.tray().look().counter, "2");
    menu.tray().menu().aboutToShow();
    EXPECT_NE(findAction(menu.tray().menu(), QString::fromUtf8("⚡ 2 window switches · 2 today")), nullptr);
}

TEST(TrayIconTest, withoutATraySaysSoOnceAndKeepsTheMenu)
{
    std::vector<QString> lines;
    installLogSink([&](const QString& line) { lines.push_back(line); });
    lines.clear();  // what earlier tests logged before any sink existed
    TrayIcon tray;
    tray.drawMenu(trayMenu(TrayState{.now = QDateTime::currentDateTimeUtc()}));
    tray.setVisible(true);
    tray.setVisible(false);
    tray.setVisible(true);
    installLogSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);  // the offscreen platform has no tray
    EXPECT_TRUE(lines[0].startsWith("no system tray is available"));
    EXPECT_NE(findAction(tray.menu(), "Quit Zumo"), nullptr);
}

TEST_F(StatusMenuTest, pollStopsAndStartsTheHookWithThePermission)
{
    // Drawn before the launch started the hook, redrawn once the poll starts.
    hook.installed = false;
    menu.updateStatusItem();
    hook.installed = true;
    poll.start(true);
    EXPECT_EQ(menu.tray().look().tooltip, QString::fromUtf8("Zumo — Active — Alt+Tab"));
    EXPECT_FALSE(menu.tray().menu().actions().front()->isEnabled());  // the header row

    permissions.trusted = false;
    dispatcher.advance(0.5);
    EXPECT_EQ(hook.stops, 1);
    EXPECT_EQ(menu.tray().headerStatus(), "Not watching the keyboard");
    EXPECT_EQ(settingsWindow.reloads, 1);

    permissions.trusted = true;
    hook.refuse = true;
    dispatcher.advance(0.5);  // refused: the status stays, the next tick tries again
    EXPECT_EQ(menu.tray().headerStatus(), "Not watching the keyboard");
    hook.refuse = false;
    dispatcher.advance(0.5);
    EXPECT_EQ(hook.starts, 2);
    EXPECT_EQ(menu.tray().headerStatus(), QString::fromUtf8("Active — Alt+Tab"));
}

// Over the application's own adapter: a hook whose connection broke still exists, and the poll
// brings it back (the adapter once called every hook enabled, so this step never ran).
TEST(StatePollOverTheTap, reenablesAHookTheSystemSwitchedOffAndReloadsOnCaptureChange)
{
    SwitcherRig rig;
    FakeKeyboardHook keyboard;
    ActiveSlots slots;
    Tap tap{*rig.sw, keyboard, slots, rig.settings, rig.counters, rig.permissions, rig.clock};
    TapHookControl control{tap, keyboard};
    StatusMenu menu{{rig.settings, rig.counters, rig.clock, control}, TestZone, QLocale(QLocale::English)};
    FakeSettingsWindow window;
    StatePoll poll{{control, rig.permissions, rig.settings, rig.counters, rig.clock, rig.dispatcher, menu, window}};
    ASSERT_TRUE(control.start());
    poll.start(true);
    const int enables = keyboard.enables;
    keyboard.switchedOff = true;
    window.capture = false;
    rig.dispatcher.advance(0.5);
    EXPECT_EQ(keyboard.enables, enables + 1);
    EXPECT_TRUE(keyboard.enabled());
    EXPECT_EQ(window.reloads, 1);
    window.capture = true;
    rig.dispatcher.advance(0.5);
    EXPECT_EQ(window.reloads, 1);
    EXPECT_EQ(keyboard.enables, enables + 1) << "an enabled hook is left alone";
}

} // namespace
} // namespace zumo::test
