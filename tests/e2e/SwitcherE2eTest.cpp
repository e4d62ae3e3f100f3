// The real zumo on the virtual desktop: Alt+Tab and the panel's keys switch, minimise, close and
// snap real client windows, and the result shows in _NET_ACTIVE_WINDOW and the stored counters.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <cstdlib>
#include <functional>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "control/ControlClaim.h"
#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

// One run of zumo (the default show delay) through the ways a user switches, each step starting
// from the order the one before left: four windows, Delta in front, then Charlie, Bravo, Alpha;
// then a second launch beside a new run.
TEST_F(SwitcherE2e, altTabTapsMoreTabsShiftLockKeysRightAltAndEscapeEachDoWhatTheySay)
{
    ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo, Charlie, Delta}));
    ASSERT_NO_FATAL_FAILURE(startZumo());

    ASSERT_TRUE(altTab());
    ASSERT_TRUE(waitActive(Charlie)) << "active: " << activeTitle().toStdString();
    EXPECT_TRUE(waitCounter(QStringLiteral("switches"), 1)) << "the switch was not saved on its own";
    ASSERT_TRUE(altTab());
    ASSERT_TRUE(waitActive(Delta)) << "the second switch did not go back; active: " << activeTitle().toStdString();

    // Alt, Tab and Alt up in one write: each tap switches and never flashes the panel (a held
    // Alt+Tab above may have shown it, on a slow machine).
    const int shownBeforeTaps = panels->showings();
    for (const QString& expected : {Charlie, Delta, Charlie}) {
        tapAltTabAtOnce();
        ASSERT_TRUE(waitActive(expected)) << "tap to " << expected.toStdString();
        // Once zumo has handled the release the run is over, so any panel would have shown.
        ASSERT_TRUE(settle());
    }
    // Now Charlie, Delta, Bravo, Alpha: Tabs typed before the list exists still count.
    tapAltTabAtOnce(3);
    ASSERT_TRUE(waitActive(Alpha)) << "active: " << activeTitle().toStdString();
    ASSERT_TRUE(settle());
    EXPECT_EQ(panels->showings(), shownBeforeTaps) << "a tap flashed the panel";

    // Now Alpha, Charlie, Delta, Bravo: two Tabs go to the third.
    ASSERT_TRUE(altTab({XK_Alt_L}, 2));
    ASSERT_TRUE(waitActive(Delta)) << "active: " << activeTitle().toStdString();
    // Now Delta, Alpha, Charlie, Bravo; Shift+Tab picks the last, and Shift may go up first.
    ASSERT_TRUE(x->keyDown(XK_Alt_L) && x->keyDown(XK_Shift_L) && x->tap(XK_Tab));
    ASSERT_TRUE(x->keyUp(XK_Shift_L) && x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitActive(Bravo)) << "active: " << activeTitle().toStdString();

    ASSERT_TRUE(x->tap(XK_Caps_Lock));
    ASSERT_TRUE(x->tap(XK_Num_Lock));
    struct Restore {
        XHelper& x;
        ~Restore() { x.tap(XK_Caps_Lock), x.tap(XK_Num_Lock); }
    } restore{*x};
    ASSERT_TRUE(altTab());
    ASSERT_TRUE(waitActive(Delta)) << "Alt+Tab with Caps Lock and Num Lock on; active: "
                                   << activeTitle().toStdString();
    // Xvfb's default keymap puts Alt_R (not ISO_Level3_Shift) on Mod1 beside Alt_L.
    ASSERT_TRUE(altTab({XK_Alt_R}));
    ASSERT_TRUE(waitActive(Bravo)) << "right-hand Alt+Tab; active: " << activeTitle().toStdString();
    ASSERT_TRUE(openPanel(XK_Alt_R));
    ASSERT_TRUE(x->keyUp(XK_Alt_R));
    ASSERT_TRUE(waitActive(Delta)) << "releasing the right-hand Alt did not commit";
    EXPECT_TRUE(waitPanelHidden());

    // Held, the panel shows centred, with its own pixels once drawn (neither the clients' blue
    // nor the black desktop): the unseen warm-up at start left the window drawable.
    const int shownBefore = panels->showings();
    ASSERT_TRUE(openPanel());
    const QRect panel = panels->geometry(*panels->visiblePanel()).value_or(QRect());
    EXPECT_LE((panel.center() - QPoint(720, 450)).manhattanLength(), 2) << "the panel is not centred";
    const xcb_window_t shown = *panels->visiblePanel();
    const QPoint inside(12, panel.height() / 2);
    ASSERT_TRUE(waitUntil([&] {
        const uint32_t drawn = x->pixel(shown, inside).value_or(0);
        return drawn != 0 && drawn != 0x3366cc;
    }));
    EXPECT_EQ(x->pixel(x->root(), panel.topLeft() + inside), x->pixel(shown, inside));
    EXPECT_NE(x->pixel(x->root(), panel.topLeft() + QPoint(1, 1)), x->pixel(shown, inside))
        << "the rounded corners are not cut";
    // It appeared letting the pointer through, and takes it soon after.
    EXPECT_TRUE(waitUntil([&] { return x->inputRectangles(shown) > 0; })) << "the panel never took the pointer";
    ASSERT_TRUE(x->tap(XK_Escape));
    ASSERT_TRUE(waitPanelHidden()) << "Escape left the panel up";
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    EXPECT_EQ(x->activeWindow(), id(Delta));
    // Had the cancelled run switched to Bravo after all, this switch would go back to Delta.
    ASSERT_TRUE(openPanel());
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitActive(Bravo)) << "active: " << activeTitle().toStdString();
    EXPECT_TRUE(waitPanelHidden());
    EXPECT_EQ(panels->showings(), shownBefore + 2);
    // Stopped at once, as by the terminal it was started from closing: the last count must
    // survive SIGHUP even if its save was still pending; the cancel is not counted.
    stopZumo(SIGHUP);
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("switches")), 12);

    // Without zumo the clients say so; a second launch opens Settings and exits, and the first
    // goes on switching: from its own Settings window to the window used last (Bravo). The
    // window manager focuses Settings on its own, just before the keys come.
    const ZumoCommand none = zumo.command({QStringLiteral("--sync")});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_TRUE(none.errors.contains("no Zumo is running")) << none.errors.toStdString();
    // A claim whose holder lets go unanswered is taken by the launch that asked: a child of a
    // Zumo killed between its fork and its exec holds the lock and the socket so for a moment.
    ControlClaim held = ControlClaim::take(zumo.runtimeDir() + QStringLiteral("/zumo/control"));
    ASSERT_EQ(held.state(), ControlClaim::State::claimed) << held.error().toStdString();
    const int listening = held.releaseSocket();
    ASSERT_NO_FATAL_FAILURE(launchZumo());
    pollfd asked{listening, POLLIN, 0};
    ASSERT_EQ(::poll(&asked, 1, DefaultDeadlineMs), 1) << "the launch never asked";
    const int connection = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    held = ControlClaim();  // the lock first, as an exec closes them
    ::close(listening);
    ::close(connection);
    ASSERT_TRUE(zumo.waitForReady()) << "zumo printed: " << zumo.output().toStdString();
    EXPECT_FALSE(x->windowTitled(SettingsTitle));
    const ZumoCommand second = zumo.command({});
    EXPECT_EQ(second.exitCode, 0) << second.errors.toStdString();
    EXPECT_TRUE(second.output.contains("already running")) << second.output.toStdString();
    ASSERT_TRUE(waitUntil([&] { return activeTitle() == SettingsTitle; })) << "Settings did not open";
    ASSERT_TRUE(altTab());
    EXPECT_TRUE(waitActive(Bravo)) << "active: " << activeTitle().toStdString();
    stopZumo();
    EXPECT_TRUE(zumo.log().contains(QStringLiteral("a second launch asked to show the settings")));
}

// One key of the open panel acting on the selected window, the second row.
struct PanelCommand {
    const char* name;
    uint32_t key;
    const char* counter; // bumped once by the command
    bool runGoesOn;      // the panel stays up until Alt is released
    int frontRow;        // the row (of the list before the command) in front once the run has ended
    // The command's effect on the real windows while the run is still going or just ended.
    std::function<bool(XHelper&, xcb_window_t selected)> done;
};

// The left half of the current desktop's work area (_NET_WORKAREA: x, y, width, height per
// desktop). The frame is compared, so the window manager's borders count; allow a few pixels.
bool onLeftHalf(XHelper& x, xcb_window_t window)
{
    const std::vector<uint32_t> area = x.values(x.root(), "_NET_WORKAREA", x.currentDesktop().value_or(0) * 4, 4);
    const auto frame = x.frameGeometry(window);
    if (area.size() < 4 || !frame)
        return false;
    const QRect left{int(area[0]), int(area[1]), int(area[2]) / 2, int(area[3])};
    return std::abs(frame->left() - left.left()) <= 4 && std::abs(frame->top() - left.top()) <= 4 &&
           std::abs(frame->right() - left.right()) <= 4 && std::abs(frame->bottom() - left.bottom()) <= 4;
}

const PanelCommand PanelCommands[] = {
    // The run goes on with the window minimised; releasing Alt switches to it and restores it.
    {"minimise", XK_m, "mins", true, 1, [](XHelper& x, xcb_window_t w) { return x.hasState(w, "_NET_WM_STATE_HIDDEN"); }},
    // The run goes on without the closed window: releasing Alt switches to the next one.
    {"close", XK_w, "closes", true, 2, [](XHelper& x, xcb_window_t w) { return !x.exists(w); }},
    {"snapLeft", XK_l, "snaps", false, 1, onLeftHalf},
    {"jumpToThird", XK_3, "jumps", false, 2, [](XHelper&, xcb_window_t) { return true; }},
    // Num Lock is off on the virtual desktop: the keypad's 3 jumps all the same.
    {"jumpByKeypad", XK_KP_3, "jumps", false, 2, [](XHelper&, xcb_window_t) { return true; }},
};

// First a keyboard another client holds (a menu is open); then each command in turn in one run
// of zumo, on the order the one before left.
TEST_F(SwitcherE2e, aKeyboardHeldElsewhereLeavesZumoWorkingAndEachPanelCommandActsOnTheRealWindow)
{
    ASSERT_NO_FATAL_FAILURE(openWindows({Alpha, Bravo, Charlie, Delta}));
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce));
    // Held before Alt+Tab: the keys go to its holder and zumo stays out of it.
    ASSERT_EQ(x->grabKeyboard(), XCB_GRAB_STATUS_SUCCESS);
    ASSERT_TRUE(altTab());
    // Alt goes down while the menu still holds the keyboard, Tab after it has let go.
    ASSERT_TRUE(x->keyDown(XK_Alt_L));
    xcb_ungrab_keyboard(x->connection(), XCB_CURRENT_TIME);
    x->flush();
    ASSERT_TRUE(x->tap(XK_Tab));
    ASSERT_TRUE(waitUntil([&] { return panels->visiblePanel().has_value(); }));
    // While a run is open zumo holds the keyboard itself and nobody can take it away.
    EXPECT_EQ(x->grabKeyboard(), XCB_GRAB_STATUS_ALREADY_GRABBED);
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    // Had the first Alt+Tab reached zumo, Charlie would be in front and this would go to Delta.
    ASSERT_TRUE(waitActive(Charlie)) << "active: " << activeTitle().toStdString();
    EXPECT_TRUE(waitPanelHidden());
    EXPECT_TRUE(waitCounter(QStringLiteral("switches"), 1));

    std::map<QString, qint64> counts;
    for (const PanelCommand& command : PanelCommands) {
        SCOPED_TRACE(command.name);
        ++counts[QString::fromLatin1(command.counter)];
        ASSERT_TRUE(settle());
        const QStringList rows = zumo.listedTitles();
        ASSERT_GE(rows.size(), 3);
        const xcb_window_t selected = id(rows[1]);
        ASSERT_TRUE(openPanel());
        ASSERT_TRUE(x->tap(command.key));
        EXPECT_TRUE(waitUntil([&] { return command.done(*x, selected); })) << "the window was not changed";
        ASSERT_TRUE(settle());
        // A command that ends the run hides the panel once the window manager has answered the
        // switch, which zumo's sync does not wait for: wait for the panel to go, Alt still held.
        if (command.runGoesOn)
            EXPECT_TRUE(panels->visiblePanel().has_value()) << "the run ended";
        else
            EXPECT_TRUE(waitPanelHidden()) << "the run went on";
        for (const QString& title : rows)
            EXPECT_TRUE(title == rows[1] || !x->hasState(id(title), "_NET_WM_STATE_HIDDEN")) << title.toStdString();
        ASSERT_TRUE(x->keyUp(XK_Alt_L));
        EXPECT_TRUE(waitActive(rows[command.frontRow])) << "active: " << activeTitle().toStdString();
        EXPECT_TRUE(waitPanelHidden());
        EXPECT_TRUE(waitUntil([&] { return !x->exists(selected) || !x->hasState(selected, "_NET_WM_STATE_HIDDEN"); }))
            << "switching to a minimised window did not bring it back";
    }
    stopZumo();
    const QJsonObject stored = readSettings(zumo.configHome());
    for (const auto& [counter, count] : counts)
        EXPECT_EQ(stored.value(QStringLiteral("all.") + counter).toInteger(), count) << counter.toStdString();
    EXPECT_EQ(stored.value(QStringLiteral("showDelay")), QJsonValue(0)) << "saving the counters lost a setting";
}

// Without other desktops the window on the second is left out. With them, the control socket
// lists and activates what the switcher would; then a search reaches the window on the other
// desktop, and Alt+Tab comes back from there.
TEST_F(SwitcherE2e, otherDesktopsLeftOutOrListedAndTheSocketActivatesAndASearchGoesThere)
{
    ASSERT_NO_FATAL_FAILURE(openWindows({Zulu, Alpha, Charlie, Delta, Bravo}));
    x->moveToDesktop(id(Zulu), 1);
    ASSERT_TRUE(waitUntil([&] { return x->desktopOf(id(Zulu)) == 1u; }));
    ASSERT_TRUE(activate(Bravo));
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce)); // other desktops are off by default
    EXPECT_EQ(zumo.listedTitles(), (QStringList{Bravo, Delta, Charlie, Alpha}));
    stopZumo();
    ASSERT_NO_FATAL_FAILURE(startZumo({{QStringLiteral("showDelay"), 0}, {QStringLiteral("otherSpaces"), true}}));

    const std::vector<QJsonObject> rows = zumo.list();
    QStringList titles = zumo.listedTitles();
    ASSERT_EQ(titles.size(), 5);
    EXPECT_EQ(titles.first(), Bravo) << "the front window comes first";
    titles.sort();
    EXPECT_EQ(titles, (QStringList{Alpha, Bravo, Charlie, Delta, Zulu}));
    for (int i = 0; i < int(rows.size()); ++i) {
        const QJsonObject& row = rows[size_t(i)];
        const QString title = row.value(QStringLiteral("title")).toString();
        EXPECT_EQ(row.value(QStringLiteral("row")).toInt(), i + 1);
        EXPECT_EQ(xcb_window_t(row.value(QStringLiteral("window")).toInteger()), id(title)) << title.toStdString();
        EXPECT_EQ(row.value(QStringLiteral("desktop")).toInt(), title == Zulu ? 1 : 0) << title.toStdString();
        EXPECT_FALSE(row.value(QStringLiteral("minimized")).toBool());
        EXPECT_FALSE(row.value(QStringLiteral("app")).toString().isEmpty());
    }

    // The third row, by the id --list gave, comes to the front as a switch would bring it.
    const QString third = rows.at(2).value(QStringLiteral("title")).toString();
    ASSERT_NE(third, Zulu);
    const QString thirdId = QString::number(rows.at(2).value(QStringLiteral("window")).toInteger());
    const ZumoCommand activated = zumo.command({QStringLiteral("--activate"), thirdId});
    EXPECT_EQ(activated.exitCode, 0) << activated.errors.toStdString();
    EXPECT_TRUE(waitActive(third)) << "active: " << activeTitle().toStdString();
    ASSERT_TRUE(zumo.sync());
    EXPECT_EQ(zumo.listedTitles().first(), third) << "the activation was not noted as a use";

    const ZumoCommand unknown = zumo.command({QStringLiteral("--activate"), QStringLiteral("0x7")});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.errors.contains("not among the switcher's windows")) << unknown.errors.toStdString();
    const ZumoCommand malformed = zumo.command({QStringLiteral("--activate"), QStringLiteral("Charlie")});
    EXPECT_EQ(malformed.exitCode, 2);
    EXPECT_TRUE(malformed.errors.contains("is not a window id")) << malformed.errors.toStdString();

    // Five rows make the panel wider than its search line: a narrower panel is the filtered list.
    ASSERT_TRUE(openPanel());
    ASSERT_TRUE(search([&] { return x->tap(XK_slash) && x->tap(XK_z) && x->tap(XK_u); }))
        << "the list was not filtered";
    ASSERT_TRUE(x->tap(XK_Return));
    EXPECT_TRUE(waitUntil([&] { return x->currentDesktop() == 1u; })) << "still on the first desktop";
    EXPECT_TRUE(waitActive(Zulu)) << "active: " << activeTitle().toStdString();
    EXPECT_TRUE(waitPanelHidden());
    ASSERT_TRUE(x->keyUp(XK_Alt_L));

    // And Alt+Tab at once goes back to the window used before, on the first desktop.
    ASSERT_TRUE(altTab());
    EXPECT_TRUE(waitActive(third)) << "active: " << activeTitle().toStdString();
    EXPECT_TRUE(waitUntil([&] { return x->currentDesktop() == 0u; }));
    stopZumo();
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("searches")), 1);
    EXPECT_EQ(storedCounter(zumo.configHome(), QStringLiteral("switches")), 2);
}

} // namespace
} // namespace zumo::e2e
