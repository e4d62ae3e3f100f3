// The X11 keyboard hook on a real X server: shortcut grabs, the run's keyboard grab, releases.
#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QTemporaryDir>
#include <algorithm>

#include "platform/Clock.h"
#include "desktop/qt/QtDispatcher.h"
#include "platform/KeyCodes.h"
#include "desktop/x11/X11KeyboardHook.h"
#include "telemetry/EventLog.h"
#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {
namespace {

bool isFlags(const KeyEvent& e, std::uint64_t flags)
{
    return e.type == KeyEventType::FlagsChanged && e.flags == flags;
}

class KeyboardHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZUMO_REQUIRE_SESSION();
        x = std::make_unique<XHelper>();
        ASSERT_TRUE(x->ok());
        ASSERT_TRUE(logDir.isValid());
        log = std::make_unique<EventLog>(logDir.path(), clock);
        installAppLog(log.get());
        hook = std::make_unique<X11KeyboardHook>(dispatcher);
        hook->setShortcuts({{keys::Option, keys::Tab}});
        ASSERT_TRUE(hook->create([this](const KeyEvent& e) { return handle(e); }));
        // The focused window, a client's; the helper selects its keys too (any number of clients
        // may), so it sees what the X server sent there.
        ASSERT_TRUE(witness.start({QStringLiteral("key witness")})) << witness.error().toStdString();
        const std::uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_change_window_attributes(x->connection(), witness.window(0), XCB_CW_EVENT_MASK, &mask);
        x->onEvent = [this](const xcb_generic_event_t& e) {
            const int type = e.response_type & 0x7f;
            if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE)
                witnessed.emplace_back(type == XCB_KEY_PRESS,
                                       reinterpret_cast<const xcb_key_press_event_t&>(e).detail);
        };
        x->activate(witness.window(0));
        ASSERT_TRUE(waitUntil([&] { return x->focus() == witness.window(0); })) << "the witness window never got the focus";
    }

    void TearDown() override
    {
        // A key left down would spoil every later test on the shared desktop.
        if (x) {
            for (std::uint32_t keysym : {XK_Tab, XK_Alt_L, XK_section})
                x->keyUp(keysym);
        }
        hook.reset();
        installAppLog(nullptr);
    }

    // A switcher in miniature: Alt+Tab opens a run, releasing Alt ends it.
    bool handle(const KeyEvent& e)
    {
        events.push_back(e);
        if (destroyOnKey && e.type == KeyEventType::KeyDown) {
            hook->destroy();
            return false;
        }
        if (swallowOnly)
            return e.type != KeyEventType::KeyDown;
        if (e.type == KeyEventType::DisabledByUserInput) {
            open = false;
            hook->setCapturing(false);
            hook->enable();
            return true;
        }
        if (open && e.type == KeyEventType::FlagsChanged && !(e.flags & keys::Option)) {
            open = false;
            hook->setCapturing(false);
            return true;
        }
        if (!open && e.type == KeyEventType::KeyDown && (e.flags & keys::ShortcutMask) == keys::Option &&
            !handOn) {
            open = true;
            hook->setCapturing(true);
            return false;
        }
        return !open;
    }

    bool waitForEvent(const std::function<bool(const KeyEvent&)>& wanted, int deadlineMs = DefaultDeadlineMs)
    {
        return waitUntil([&] { return std::ranges::any_of(events, wanted); }, deadlineMs);
    }
    bool saw(bool press, xcb_keysym_t keysym)
    {
        x->roundTrip();
        return std::ranges::count(witnessed, std::pair{press, x->keycodeOf(keysym)}) > 0;
    }
    // Taps a key nobody grabs and waits until the witness has it: everything before it is done.
    bool witnessSync()
    {
        x->tap(XK_x);
        return waitUntil([&] { return saw(true, XK_x) && saw(false, XK_x); });
    }
    QString logText()
    {
        log->drain();
        return QString::fromUtf8(test::readAll(log->filePath()));
    }
    // Alt down and a tap of Tab, seen by the hook; Alt stays down. What the hook and the witness
    // had before is forgotten.
    void pressAltTab()
    {
        events.clear();
        witnessed.clear();
        ASSERT_TRUE(x->keyDown(XK_Alt_L));
        ASSERT_TRUE(x->tap(XK_Tab));
        ASSERT_TRUE(waitForEvent([](const KeyEvent& e) {
            return e.type == KeyEventType::KeyDown && e.keyCode == keys::Tab;
        })) << "the hook never saw Tab";
    }
    // Opens a run with Alt+Tab and checks the hook took the keyboard.
    void openRun()
    {
        ASSERT_NO_FATAL_FAILURE(pressAltTab());
        EXPECT_TRUE(open);
        EXPECT_TRUE(hook->holdsKeyboard());
    }

    std::unique_ptr<XHelper> x;
    QTemporaryDir logDir;
    SystemClock clock;
    std::unique_ptr<EventLog> log;
    QtDispatcher dispatcher;
    TestClient witness;
    std::vector<std::pair<bool, xcb_keycode_t>> witnessed;
    std::unique_ptr<X11KeyboardHook> hook;
    std::vector<KeyEvent> events;
    bool open = false;
    bool handOn = false;
    bool destroyOnKey = false;
    bool swallowOnly = false; // swallows shortcut presses without ever asking to capture
};

TEST_F(KeyboardHookTest, altTabReachesOnlyTheHookAndHandlersThatOpenNoRunLeaveTheKeyboardFree)
{
    // What the keys of a run say (Alt+Tab opens it, letters type the search with Alt held) is
    // SwitcherE2e's and LayoutsE2e's; here, where the keys go.
    openRun();
    ASSERT_TRUE(x->tap(XK_a)); // a key of the open run
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitForEvent([](const KeyEvent& e) { return isFlags(e, 0); }));
    EXPECT_FALSE(hook->holdsKeyboard());

    ASSERT_TRUE(witnessSync());
    EXPECT_FALSE(saw(true, XK_Tab));
    EXPECT_FALSE(saw(false, XK_Tab));
    EXPECT_FALSE(saw(true, XK_a));
    EXPECT_FALSE(saw(false, XK_Alt_L)) << "the Alt release leaked to the focused window";
    // That the handler hears of Alt pressed again before the next Tab is RobustE2e's back-to-back
    // pairs: else the second Alt+Tab counts as one more Tab of the run just ended.

    // Three handlers that do not open a run: each leaves the keyboard free once Alt is up.
    handOn = true; // as while paused: the press reaches the focused window
    ASSERT_NO_FATAL_FAILURE(pressAltTab());
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    ASSERT_TRUE(witnessSync());
    EXPECT_TRUE(saw(true, XK_Tab));
    EXPECT_TRUE(saw(false, XK_Tab));
    EXPECT_FALSE(hook->holdsKeyboard());

    handOn = false;
    swallowOnly = true; // swallowed, but nobody asks to capture: it ends with its modifier
    ASSERT_NO_FATAL_FAILURE(pressAltTab());
    EXPECT_TRUE(hook->holdsKeyboard());
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitForEvent([](const KeyEvent& e) { return isFlags(e, 0); }));
    EXPECT_FALSE(hook->holdsKeyboard());
    EXPECT_TRUE(witnessSync());

    swallowOnly = false;
    destroyOnKey = true;
    ASSERT_NO_FATAL_FAILURE(pressAltTab());
    EXPECT_FALSE(hook->exists());
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    EXPECT_TRUE(witnessSync()) << "the keyboard stayed frozen";
}

// What other programs do to the hook: a shortcut one of them holds (and one no key types) is
// reported once, a keyboard one holds ends the run, and a layout switch is followed. A later
// keymap that has § is followed too: LayoutsE2e switches layouts under a running zumo.
TEST_F(KeyboardHookTest, takenShortcutsHeldKeyboardsAndLayoutSwitchesOfOtherPrograms)
{
    xcb_connection_t* c = x->connection();
    const xcb_keycode_t grave = x->keycodeOf(XK_grave);
    ASSERT_TRUE(grave);
    ASSERT_FALSE(Freed(xcb_request_check(c, xcb_grab_key_checked(c, 0, x->root(), XCB_MOD_MASK_CONTROL, grave,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC))));
    hook->setShortcuts({{keys::Control, keys::Grave}, {keys::Option, keys::Tab}, {keys::Option, keys::Section}});
    EXPECT_EQ(hook->takenShortcuts(), (std::vector<HookShortcut>{{keys::Control, keys::Grave}}));
    EXPECT_TRUE(logText().contains(QStringLiteral("Ctrl+` is already taken by another program")));
    EXPECT_TRUE(logText().contains(QStringLiteral("Alt+§ cannot be used"))) << "a US keyboard has no § key";
    // The other shortcut still opens a run; the taken one stays with its owner after a regrab.
    openRun();
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    ASSERT_TRUE(waitForEvent([](const KeyEvent& e) { return isFlags(e, 0); }));
    hook->enable();
    EXPECT_EQ(hook->takenShortcuts().size(), 1u);
    EXPECT_EQ(logText().count(QStringLiteral("Ctrl+` is already taken")), 1) << "logged once, not per regrab";
    xcb_ungrab_key(c, grave, x->root(), XCB_MOD_MASK_CONTROL);

    ASSERT_EQ(x->grabKeyboard(), XCB_GRAB_STATUS_SUCCESS);
    open = true; // a run opened while another program holds the keyboard
    hook->setCapturing(true);
    EXPECT_TRUE(waitForEvent([](const KeyEvent& e) { return e.type == KeyEventType::DisabledByUserInput; }));
    EXPECT_FALSE(open);
    EXPECT_FALSE(hook->holdsKeyboard());
    EXPECT_TRUE(logText().contains(QStringLiteral("the keyboard is held by another program")));
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    openRun(); // afterwards the shortcut works again
    ASSERT_TRUE(x->keyUp(XK_Alt_L));
    EXPECT_TRUE(waitForEvent([](const KeyEvent& e) { return isFlags(e, 0); }));

    // The layout the device profile reports is the one typed with: it follows a new keymap and a
    // switch of the active group, without the hook asking the server.
    const auto restore = qScopeGuard([&] { x->setLayout(QStringLiteral("us")); });
    ASSERT_TRUE(x->setLayout(QStringLiteral("us,de")));
    hook->sync();
    EXPECT_EQ(hook->activeLayout(), QStringLiteral("us"));
    ASSERT_TRUE(x->setLayout(QStringLiteral("us,de"), 1)) << "the group was not locked";
    hook->sync();
    EXPECT_EQ(hook->activeLayout(), QStringLiteral("de"));
}

TEST(KeyboardHookWithoutDisplay, createFailsCleanly)
{
    QtDispatcher dispatcher;
    X11KeyboardHook hook(dispatcher, QByteArrayLiteral(":4095"));
    EXPECT_FALSE(hook.create([](const KeyEvent&) { return true; }));
    EXPECT_FALSE(hook.exists());
    hook.setCapturing(true); // harmless without a connection
    hook.enable();
    EXPECT_FALSE(hook.holdsKeyboard());
}

} // namespace
} // namespace zumo::e2e
