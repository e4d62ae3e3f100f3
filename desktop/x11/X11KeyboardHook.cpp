// The X11 keyboard hook: the keyboard grab of an open run and the keys it delivers, on a
// connection of its own (X11Connection); the shortcuts' passive grabs are X11ShortcutGrabs'.
#include "desktop/x11/X11KeyboardHook.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <xcb/xcb.h>
// xcb's XKB header names a member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include "platform/Dispatch.h"
#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "desktop/x11/KeyTranslation.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11ShortcutGrabs.h"

namespace zumo {
namespace {

// The layouts of the root's _XKB_RULES_NAMES ("rules\0model\0us,de\0variants\0options"), in
// group order.
QStringList layoutsOfRulesNames(const QByteArray& names)
{
    const QList<QByteArray> fields = names.split('\0');
    return fields.size() > 2 ? QString::fromLatin1(fields[2]).split(QLatin1Char(',')) : QStringList();
}

// Another program's grab (a menu, a drag) usually ends within a few tens of milliseconds.
constexpr int MaxGrabAttempts = 10;
constexpr double GrabRetrySeconds = 0.01;
// No event says that another program let go of a key grab, so a taken shortcut is tried again.
constexpr double RetakeSeconds = 0.5;
// At a keymap change every client drops its key grabs and takes them again: a retry then could
// win a key from its holder by timing alone, so retries keep away from it this long.
constexpr double KeymapSettleSeconds = 1.5;
// A safety net only: releases normally arrive as events.
constexpr double KeymapPollSeconds = 0.1;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct XkbDeleter {
    void operator()(xkb_context* p) const { xkb_context_unref(p); }
    void operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
    void operator()(xkb_state* p) const { xkb_state_unref(p); }
};
template <typename T> using XkbPtr = std::unique_ptr<T, XkbDeleter>;

// The head every XKB event shares; which one it is sits in xkbType.
struct XkbEventHead {
    std::uint8_t response_type;
    std::uint8_t xkbType;
    std::uint16_t sequence;
    xcb_timestamp_t time;
    std::uint8_t deviceID;
};

// Where the keyboard stands. Transitions: startCapture (off → grabbing), grabbed
// (grabbing → holding), stopCapture (any → off).
enum class Capture {
    off,       // only the shortcuts' passive grabs
    grabbing,  // every key is wanted; the keyboard grab is being asked for (retried while busy)
    holding,   // every key is wanted and the keyboard grab is ours
};

} // namespace

// The hook keeps an X connection of its own rather than sharing the desktop model's: it must
// wait for the server's answer (a grab's status, the keymap) while a key press has the
// keyboard frozen, and on a shared connection that wait would queue behind the model's
// pipelined reads of every window, and its replies would pull the model's events into the
// hook's pump. Both connections are X11Connection, pumped the same way.
struct X11KeyboardHook::Impl {
    Impl(Dispatcher& d, QByteArray name) : dispatcher(d), display(std::move(name)) {}

    Dispatcher& dispatcher;
    const QByteArray display;
    Handler handler;
    std::function<void()> beforeShortcut;
    std::function<void(std::function<void()>)> captureGate;
    std::vector<HookShortcut> shortcuts;

    std::unique_ptr<x11::X11Connection> x;
    xcb_connection_t* conn = nullptr;  // x's, while connected
    xcb_window_t root = 0;
    // What each key types follows the server's keymap and active layout group (xkbcommon kept in
    // step by XKB events), so letters follow the keyboard layout the user has switched to.
    XkbPtr<xkb_context> xkbContext;
    XkbPtr<xkb_keymap> keymap;
    XkbPtr<xkb_state> keyState;
    std::int32_t keyboardId = -1;
    std::uint8_t xkbEventBase = 0;
    xcb_atom_t rulesNamesAtom = XCB_ATOM_NONE;
    QStringList layouts; // by group, as the root's _XKB_RULES_NAMES names them
    std::shared_ptr<int> alive = std::make_shared<int>(0);

    x11::ModifierKeys modifierKeys;
    std::uint16_t numLock = 0;
    x11::X11ShortcutGrabs grabs;

    Capture capture = Capture::off;
    // The owner asked for capturing (setCapturing(true)) since this run's shortcut press; a
    // capture it did not ask for ends by itself with the shortcut's modifiers.
    bool ownerAsked = false;
    std::uint64_t runModifiers = 0; // the shortcut modifiers of the press that started capturing
    std::uint32_t grabSequence = 0;
    int grabAttempts = 0;
    Dispatcher::TimerId retryTimer = 0;
    Dispatcher::TimerId pollTimer = 0;
    Dispatcher::TimerId retakeTimer = 0;
    bool retakeOnTimer = true;  // off while the window manager is known to hold a taken shortcut
    Notifier<>* takenChanged = nullptr;
    std::uint64_t lastFlags = 0;
    // The modifiers as the last key event read from the server had them; unlike lastFlags, never
    // set from a keymap query, which can run ahead of events still queued.
    std::uint64_t streamFlags = 0;
    bool inHandler = false;
    std::deque<KeyEvent> pending;

    bool openConnection();
    void closeConnection();
    bool setUpXkb();
    void loadXkbKeymap();
    void loadLayoutNames();
    void loadKeymap();
    x11::Keysym keysymAt(x11::Keycode key, xkb_level_index_t level) const;
    std::vector<x11::Keycode> keycodesOf(std::int64_t code) const;
    void grabShortcuts(bool keepTaken = false);
    void scheduleRetake(double seconds = RetakeSeconds);
    void keymapChanged();
    void retake();

    void handleEvent(const xcb_generic_event_t& event);
    void onKey(const xcb_key_press_event_t& event, bool press);
    void announceRepressedModifiers(const KeyEvent& translated, std::uint64_t before);
    void onShortcutPress(const KeyEvent& translated);
    void onFocus(const xcb_focus_in_event_t& event, std::uint32_t fullSequence);
    void onMapping(const xcb_mapping_notify_event_t& event);
    void onXkb(const xcb_generic_event_t& event);

    void startCapture();
    void stopCapture();
    void cancelTimers();
    void tryGrab();
    void grabbed(std::uint32_t sequence);
    void checkKeymap();
    void poll();
    void disable(const QString& message);
    void connectionLost();
    void deliverDisabled();
    bool deliver(const KeyEvent& event);
    void deliverFlags(const KeyEvent& event);
    void allowEvents(std::uint8_t mode);

    template <typename Fn> std::function<void()> guarded(Fn fn)
    {
        return [weak = std::weak_ptr<int>(alive), fn = std::move(fn)] {
            if (!weak.expired())
                fn();
        };
    }
};

bool X11KeyboardHook::Impl::openConnection()
{
    QString error;
    x = x11::X11Connection::open(error, display.isEmpty() ? nullptr : display.constData());
    if (!x)
        return false;
    conn = x->xcb();
    root = x->root();
    if (!setUpXkb()) {
        appLog(QStringLiteral("the X server offers no keyboard extension (XKB), so the switcher cannot "
                              "read the keyboard layout; its shortcuts are off"));
        conn = nullptr;
        x.reset();
        return false;
    }
    x->setHandlers([this](const xcb_generic_event_t& event) { handleEvent(event); }, {});
    x->setLostHandler([this] { connectionLost(); });
    // Focus events with a grab mode on the root tell when someone else takes the keyboard;
    // property events when the layouts are named anew (setxkbmap writes them after the keymap).
    const std::uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn, root, XCB_CW_EVENT_MASK, &mask);
    static constexpr char RulesNames[] = "_XKB_RULES_NAMES";
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, sizeof RulesNames - 1, RulesNames), nullptr));
    rulesNamesAtom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    loadLayoutNames();
    loadXkbKeymap();
    loadKeymap();
    grabShortcuts();
    // Whoever waits for the main shortcut (the "ready" line) learns that it may be held now.
    if (takenChanged)
        takenChanged->notify();
    return true;
}

bool X11KeyboardHook::Impl::setUpXkb()
{
    if (!xkb_x11_setup_xkb_extension(conn, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &xkbEventBase,
                                     nullptr))
        return false;
    keyboardId = xkb_x11_get_core_keyboard_device_id(conn);
    if (!xkbContext)
        xkbContext.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (keyboardId < 0 || !xkbContext)
        return false;
    // A new keymap (setxkbmap), a changed one, and every change of the active group.
    const std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                   XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS |
                                   XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                   XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events(conn, xcb_xkb_device_spec_t(keyboardId), events, 0, events, mapParts, mapParts, nullptr);
    return true;
}

// Reads the keymap and the keyboard's current state (its active group) from the server.
void X11KeyboardHook::Impl::loadXkbKeymap()
{
    XkbPtr<xkb_keymap> fresh(
        xkb_x11_keymap_new_from_device(xkbContext.get(), conn, keyboardId, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!fresh) {
        appLog(QStringLiteral("the keyboard layout could not be read from the X server; keys keep the "
                              "layout read before"));
        return;
    }
    XkbPtr<xkb_state> state(xkb_x11_state_new_from_device(fresh.get(), conn, keyboardId));
    if (!state)
        return;
    keymap = std::move(fresh);
    keyState = std::move(state);
}

void X11KeyboardHook::Impl::loadLayoutNames()
{
    layouts.clear();
    if (rulesNamesAtom == XCB_ATOM_NONE)
        return;
    XcbReply<xcb_get_property_reply_t> names(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, root, rulesNamesAtom, XCB_ATOM_STRING, 0, 1024), nullptr));
    if (names)
        layouts = layoutsOfRulesNames(QByteArray(static_cast<const char*>(xcb_get_property_value(names.get())),
                                                 xcb_get_property_value_length(names.get())));
}

void X11KeyboardHook::Impl::closeConnection()
{
    if (!x)
        return;
    cancelTimers();
    if (retakeTimer)
        dispatcher.cancel(std::exchange(retakeTimer, 0));
    capture = Capture::off;
    grabs.forget();
    keyState.reset();
    keymap.reset();
    conn = nullptr;
    x.reset(); // disconnecting ends every grab of ours
}

void X11KeyboardHook::Impl::loadKeymap()
{
    const xcb_setup_t* setup = xcb_get_setup(conn);
    std::array<std::uint64_t, 256> flagOfKey{};
    std::vector<x11::Keycode> numLockKeys;
    for (int key = setup->min_keycode; key <= setup->max_keycode; ++key) {
        const x11::Keysym keysym = keysymAt(x11::Keycode(key), 0);
        flagOfKey[std::size_t(key)] = x11::modifierFlagOf(keysym);
        if (keysym == x11::NumLockKeysym)
            numLockKeys.push_back(x11::Keycode(key));
    }
    XcbReply<xcb_get_modifier_mapping_reply_t> modmap(
        xcb_get_modifier_mapping_reply(conn, xcb_get_modifier_mapping(conn), nullptr));
    numLock = 0;
    if (modmap) {
        const std::span<const x11::Keycode> keycodes(
            xcb_get_modifier_mapping_keycodes(modmap.get()),
            std::size_t(xcb_get_modifier_mapping_keycodes_length(modmap.get())));
        // The mapping is what the state bits follow, so it decides which keys are modifiers.
        flagOfKey = x11::keyFlagsFromModifierMap(keycodes, modmap->keycodes_per_modifier);
        numLock = x11::modifierMaskOfKeys(keycodes, modmap->keycodes_per_modifier, numLockKeys);
    }
    modifierKeys.setKeyFlags(flagOfKey);
}

// The keysym at a shift level of a key in the active group (a key with fewer groups wraps).
x11::Keysym X11KeyboardHook::Impl::keysymAt(x11::Keycode key, xkb_level_index_t level) const
{
    if (!keymap || !keyState)
        return 0;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(keyState.get(), key);
    if (layout == XKB_LAYOUT_INVALID)
        return 0;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), key, layout, level, &syms);
    return count > 0 ? syms[0] : 0;
}

std::vector<x11::Keycode> X11KeyboardHook::Impl::keycodesOf(std::int64_t code) const
{
    const xcb_setup_t* setup = xcb_get_setup(conn);
    return x11::keycodesForKeyCode(code, setup->min_keycode, setup->max_keycode,
                                   [this](x11::Keycode key) { return keysymAt(key, 0); });
}

void X11KeyboardHook::Impl::grabShortcuts(bool keepTaken)
{
    if (!conn)
        return;
    const std::vector<HookShortcut> before = grabs.taken();
    grabs.grab(conn, root, shortcuts, [this](std::int64_t code) { return keycodesOf(code); }, numLock,
               keepTaken ? before : std::vector<HookShortcut>{});
    if (!keepTaken)
        scheduleRetake();
    if (grabs.taken() != before && takenChanged)
        takenChanged->notify();
}

void X11KeyboardHook::Impl::scheduleRetake(double seconds)
{
    if (!grabs.taken().empty() && !retakeTimer && retakeOnTimer)
        retakeTimer = dispatcher.after(seconds, guarded([this] { retake(); }));
}

// A taken shortcut is not tried at a keymap change, and no retry comes near one.
void X11KeyboardHook::Impl::keymapChanged()
{
    loadXkbKeymap();
    loadKeymap();
    if (retakeTimer)
        dispatcher.cancel(std::exchange(retakeTimer, 0));
    grabShortcuts(true);
    scheduleRetake(KeymapSettleSeconds);
}

void X11KeyboardHook::Impl::retake()
{
    retakeTimer = 0;
    if (!conn)
        return;
    const bool regained =
        grabs.retake(conn, root, [this](std::int64_t code) { return keycodesOf(code); }, numLock);
    scheduleRetake();
    if (regained && takenChanged)
        takenChanged->notify();
}

void X11KeyboardHook::Impl::handleEvent(const xcb_generic_event_t& event)
{
    if ((event.response_type & 0x7f) == xkbEventBase) {
        onXkb(event);
        return;
    }
    switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS:
        onKey(reinterpret_cast<const xcb_key_press_event_t&>(event), true);
        break;
    case XCB_KEY_RELEASE:
        onKey(reinterpret_cast<const xcb_key_press_event_t&>(event), false);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        onFocus(reinterpret_cast<const xcb_focus_in_event_t&>(event), event.full_sequence);
        break;
    case XCB_MAPPING_NOTIFY:
        onMapping(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
        break;
    case XCB_PROPERTY_NOTIFY:
        if (reinterpret_cast<const xcb_property_notify_event_t&>(event).atom == rulesNamesAtom)
            loadLayoutNames();
        break;
    default:
        break;
    }
}

void X11KeyboardHook::Impl::onKey(const xcb_key_press_event_t& event, bool press)
{
    const x11::XKey key{event.detail, keysymAt(event.detail, 0), event.state, press, keysymAt(event.detail, 1)};
    if (press)
        modifierKeys.press(key.keycode);
    else
        modifierKeys.release(key.keycode);
    const KeyEvent translated = x11::translateKey(key, modifierKeys);
    const std::uint64_t streamBefore = std::exchange(streamFlags, translated.flags);
    if (capture == Capture::off) {
        if (press) {
            announceRepressedModifiers(translated, streamBefore);
            onShortcutPress(translated);
        }
        return; // else the release of a shortcut key whose press was handed on
    }
    if (translated.type != KeyEventType::FlagsChanged)
        deliver(translated);
    else if (translated.flags != lastFlags)
        deliverFlags(translated);
    // A shortcut press that froze the keyboard just before the keyboard grab took over.
    if (press && conn)
        allowEvents(XCB_ALLOW_ASYNC_KEYBOARD);
}

// Modifiers the server last showed up and this shortcut press shows down were pressed again
// while the keyboard was not held, so their press went to the focused window. The handler is told
// first, as it would have been while holding the keyboard: a second Alt+Tab right after a release
// is then a run of its own, and not one more Tab of a run still waiting for its entries.
void X11KeyboardHook::Impl::announceRepressedModifiers(const KeyEvent& translated, std::uint64_t before)
{
    if (translated.type != KeyEventType::KeyDown || !(translated.flags & ~before & keys::ShortcutMask))
        return;
    KeyEvent event;
    event.type = KeyEventType::FlagsChanged;
    event.keyCode = x11::OtherKeyBase; // no particular key
    event.flags = translated.flags;
    deliver(event);
}

// A press of a grabbed shortcut: the keyboard stays frozen until the handler has answered.
void X11KeyboardHook::Impl::onShortcutPress(const KeyEvent& translated)
{
    ownerAsked = false;
    runModifiers = translated.flags & keys::ShortcutMask;
    if (beforeShortcut)
        beforeShortcut();
    const bool passOn = deliver(translated);
    if (!conn)
        return;
    if (passOn) {
        allowEvents(XCB_ALLOW_REPLAY_KEYBOARD);
        return;
    }
    // A passive grab ends when the shortcut key is released, and the modifier's release
    // would then go to the focused window: hold the whole keyboard from here on, unless the
    // owner has already asked for it (and perhaps been refused).
    if (capture == Capture::off && !ownerAsked) {
        if (captureGate)
            captureGate(guarded([this] {
                if (capture == Capture::off && !ownerAsked)
                    startCapture();
            }));
        else
            startCapture();
    }
    if (conn)
        allowEvents(XCB_ALLOW_ASYNC_KEYBOARD);
}

void X11KeyboardHook::Impl::onFocus(const xcb_focus_in_event_t& event, std::uint32_t fullSequence)
{
    if (capture != Capture::holding || event.event != root)
        return;
    if (event.mode != XCB_NOTIFY_MODE_GRAB && event.mode != XCB_NOTIFY_MODE_UNGRAB)
        return;
    // Focus events of our own grab carry its sequence number; later ones mean someone else's.
    if (std::int32_t(fullSequence - grabSequence) <= 0)
        return;
    disable(QStringLiteral("another program took the keyboard while the switcher was open; it closed "
                           "without switching"));
}

void X11KeyboardHook::Impl::onMapping(const xcb_mapping_notify_event_t& event)
{
    if (event.request == XCB_MAPPING_POINTER)
        return;
    keymapChanged();
}

void X11KeyboardHook::Impl::onXkb(const xcb_generic_event_t& event)
{
    const auto& head = reinterpret_cast<const XkbEventHead&>(event);
    if (head.deviceID != keyboardId)
        return;
    if (head.xkbType == XCB_XKB_STATE_NOTIFY) {
        const auto& state = reinterpret_cast<const xcb_xkb_state_notify_event_t&>(event);
        if (keyState)
            xkb_state_update_mask(keyState.get(), state.baseMods, state.latchedMods, state.lockedMods,
                                  xkb_layout_index_t(state.baseGroup), xkb_layout_index_t(state.latchedGroup),
                                  state.lockedGroup);
        return;
    }
    if (head.xkbType != XCB_XKB_NEW_KEYBOARD_NOTIFY && head.xkbType != XCB_XKB_MAP_NOTIFY)
        return;
    keymapChanged();
}

void X11KeyboardHook::Impl::startCapture()
{
    capture = Capture::grabbing;
    grabAttempts = 0;
    tryGrab();
}

void X11KeyboardHook::Impl::stopCapture()
{
    const bool held = capture == Capture::holding;
    capture = Capture::off;
    cancelTimers();
    if (!held || !conn)
        return;
    xcb_ungrab_keyboard(conn, XCB_CURRENT_TIME);
    // One round trip, so the keyboard is free when this returns: whatever the caller does
    // next through other connections (activating a window, a test typing) sees it released.
    XcbReply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
}

void X11KeyboardHook::Impl::cancelTimers()
{
    if (retryTimer)
        dispatcher.cancel(std::exchange(retryTimer, 0));
    if (pollTimer)
        dispatcher.cancel(std::exchange(pollTimer, 0));
}

void X11KeyboardHook::Impl::tryGrab()
{
    retryTimer = 0;
    if (capture != Capture::grabbing || !conn)
        return;
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(conn, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(conn, cookie, nullptr));
    if (!reply && !x->alive()) {
        connectionLost();
        return;
    }
    const int status = reply ? reply->status : -1;
    if (status == XCB_GRAB_STATUS_SUCCESS) {
        grabbed(cookie.sequence);
        return;
    }
    const bool busy = status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN;
    if (busy && ++grabAttempts < MaxGrabAttempts) {
        retryTimer = dispatcher.after(GrabRetrySeconds, guarded([this] { tryGrab(); }));
        return;
    }
    disable(QStringLiteral("the keyboard is held by another program, so the switcher closed without "
                           "switching — close that program's menu or dialog and try again"));
}

void X11KeyboardHook::Impl::grabbed(std::uint32_t sequence)
{
    capture = Capture::holding;
    grabSequence = sequence;
    // A release that happened before the grab never arrives as an event.
    checkKeymap();
    if (capture == Capture::holding)
        pollTimer = dispatcher.after(KeymapPollSeconds, guarded([this] { poll(); }));
}

void X11KeyboardHook::Impl::checkKeymap()
{
    XcbReply<xcb_query_keymap_reply_t> reply(xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr));
    if (!reply)
        return;
    modifierKeys.setFromKeymap(std::span<const std::uint8_t, 32>(reply->keys));
    const std::uint64_t flags = modifierKeys.held();
    if (flags == lastFlags)
        return;
    KeyEvent event;
    event.type = KeyEventType::FlagsChanged;
    event.keyCode = x11::OtherKeyBase; // no particular key
    event.flags = flags;
    deliverFlags(event);
}

void X11KeyboardHook::Impl::poll()
{
    pollTimer = 0;
    // Events already waiting come first, so the keymap is compared with what they said.
    const std::weak_ptr<int> weak = alive;
    x->pump();
    if (weak.expired() || capture != Capture::holding || !conn)
        return;
    checkKeymap();
    if (capture == Capture::holding && conn)
        pollTimer = dispatcher.after(KeymapPollSeconds, guarded([this] { poll(); }));
}

void X11KeyboardHook::Impl::disable(const QString& message)
{
    appLog(message);
    stopCapture();
    deliverDisabled();
}

void X11KeyboardHook::Impl::connectionLost()
{
    appLog(QStringLiteral("the keyboard hook lost its connection to the X display; the switcher's "
                          "shortcuts are off"));
    closeConnection();
    deliverDisabled();
}

// Tells the handler the hook lost the keyboard, as a "disabled by user input" event.
void X11KeyboardHook::Impl::deliverDisabled()
{
    KeyEvent event;
    event.type = KeyEventType::DisabledByUserInput;
    event.keyCode = x11::OtherKeyBase;
    event.flags = lastFlags;
    deliver(event);
}

// Calls the handler; an event raised while the handler runs (a grab it asked for was refused,
// a release found by the keymap check) waits until the handler has returned.
bool X11KeyboardHook::Impl::deliver(const KeyEvent& event)
{
    if (!handler)
        return true;
    if (event.type != KeyEventType::DisabledByUserInput)
        lastFlags = event.flags;
    if (inHandler) {
        pending.push_back(event);
        return false;
    }
    inHandler = true;
    // A copy: the handler may destroy the hook, and with it the stored function.
    Handler call = handler;
    const bool passOn = call(event);
    while (!pending.empty() && handler) {
        const KeyEvent next = pending.front();
        pending.pop_front();
        call = handler;
        call(next);
    }
    pending.clear();
    inHandler = false;
    return passOn;
}

// A capture nobody asked for must not outlive the shortcut's modifiers, or the keyboard
// would stay grabbed with no one to let it go.
void X11KeyboardHook::Impl::deliverFlags(const KeyEvent& event)
{
    deliver(event);
    if (capture != Capture::off && !ownerAsked && (event.flags & runModifiers) != runModifiers)
        stopCapture();
}

void X11KeyboardHook::Impl::allowEvents(std::uint8_t mode)
{
    xcb_allow_events(conn, mode, XCB_CURRENT_TIME);
    xcb_flush(conn);
}

X11KeyboardHook::X11KeyboardHook(Dispatcher& dispatcher, QByteArray display)
    : d(std::make_unique<Impl>(dispatcher, std::move(display)))
{
    d->takenChanged = &takenChanged;
}

X11KeyboardHook::~X11KeyboardHook()
{
    destroy();
}

bool X11KeyboardHook::create(Handler handler)
{
    if (!handler)
        return false;
    if (!d->conn && !d->openConnection())
        return false;
    d->handler = std::move(handler);
    return true;
}

QString X11KeyboardHook::activeLayout() const
{
    if (!d->conn || !d->keyState)
        return {};
    const xkb_layout_index_t group = xkb_state_serialize_layout(d->keyState.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    return group < xkb_layout_index_t(d->layouts.size()) ? d->layouts[qsizetype(group)] : QString();
}

bool X11KeyboardHook::exists() const
{
    return bool(d->handler);
}

bool X11KeyboardHook::enabled() const
{
    return d->handler && d->conn != nullptr;
}

void X11KeyboardHook::enable()
{
    if (!d->handler)
        return;
    if (!d->conn) {
        d->openConnection();
        return;
    }
    d->grabShortcuts();
}

void X11KeyboardHook::destroy()
{
    d->closeConnection();
    d->handler = nullptr;
    d->pending.clear();
}

void X11KeyboardHook::setShortcuts(const std::vector<HookShortcut>& shortcuts)
{
    if (shortcuts == d->shortcuts)
        return;
    d->shortcuts = shortcuts;
    d->grabs.resetLog();
    d->grabShortcuts();
}

void X11KeyboardHook::setCapturing(bool capturing)
{
    if (!d->conn)
        return;
    d->ownerAsked = capturing;
    if (capturing == (d->capture != Capture::off))
        return;
    if (capturing)
        d->startCapture();
    else
        d->stopCapture();
}

void X11KeyboardHook::retakeShortcuts()
{
    if (d->conn && !d->grabs.taken().empty())
        d->retake();
}

void X11KeyboardHook::letGo()
{
    if (!d->conn)
        return;
    d->grabs.letGo(d->conn, d->root, d->shortcuts);
    d->takenChanged->notify();
}

void X11KeyboardHook::setRetakeOnTimer(bool on)
{
    d->retakeOnTimer = on;
    if (!on && d->retakeTimer)
        d->dispatcher.cancel(std::exchange(d->retakeTimer, 0));
    d->scheduleRetake();
}

std::vector<HookShortcut> X11KeyboardHook::takenShortcuts() const
{
    return d->grabs.taken();
}

const std::vector<HookShortcut>& X11KeyboardHook::shortcuts() const
{
    return d->shortcuts;
}

bool X11KeyboardHook::mainShortcutHeld() const
{
    if (!d->conn || d->shortcuts.empty())
        return false;
    const std::vector<HookShortcut>& taken = d->grabs.taken();
    return std::find(taken.begin(), taken.end(), d->shortcuts.front()) == taken.end();
}

void X11KeyboardHook::sync()
{
    if (d->x)
        d->x->roundTrip();
}

std::optional<x11::InputStamp> X11KeyboardHook::lastInput() const
{
    return d->x ? d->x->lastInput() : std::nullopt;
}

bool X11KeyboardHook::holdsKeyboard() const
{
    return d->capture == Capture::holding;
}

void X11KeyboardHook::setBeforeShortcut(std::function<void()> catchUp)
{
    d->beforeShortcut = std::move(catchUp);
}

void X11KeyboardHook::setCaptureGate(std::function<void(std::function<void()>)> gate)
{
    d->captureGate = std::move(gate);
}

} // namespace zumo
