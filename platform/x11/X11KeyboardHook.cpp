// The X11 keyboard hook: shortcut grabs, the keyboard grab of an open run, and the event pump.
#include "platform/x11/X11KeyboardHook.h"

#include <QSet>
#include <QSocketNotifier>
#include <cstdlib>
#include <deque>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include "platform/Dispatch.h"
#include "platform/KeyCodes.h"
#include "platform/x11/KeyTranslation.h"
#include "platform/Log.h"

namespace zumo {
namespace {

// Another program's grab (a menu, a drag) usually ends within a few tens of milliseconds.
constexpr int MaxGrabAttempts = 10;
constexpr double GrabRetrySeconds = 0.01;
// A safety net only: releases normally arrive as events.
constexpr double KeymapPollSeconds = 0.1;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

const xcb_screen_t* screenOf(xcb_connection_t* connection, int number)
{
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; it.rem; --number, xcb_screen_next(&it)) {
        if (number == 0)
            return it.data;
    }
    return nullptr;
}

} // namespace

struct X11KeyboardHook::Impl {
    struct KeyGrab {
        x11::Keycode key = 0;
        std::uint16_t modifiers = 0;
    };

    Impl(Dispatcher& d, QByteArray name) : dispatcher(d), display(std::move(name)) {}

    Dispatcher& dispatcher;
    const QByteArray display;
    Handler handler;
    std::vector<HookShortcut> shortcuts;

    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    xcb_key_symbols_t* symbols = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    int pumping = 0;
    bool drainPosted = false;
    std::shared_ptr<int> alive = std::make_shared<int>(0);

    x11::ModifierKeys modifierKeys;
    std::uint16_t numLock = 0;
    std::vector<KeyGrab> keyGrabs;
    std::vector<HookShortcut> taken;
    QSet<QString> logged; // shortcut problems already reported for the current shortcuts

    bool capturing = false;
    int captureStarts = 0;          // tells whether the handler asked for capturing itself
    bool ownerCaptures = false;     // false while capturing only because a shortcut press was swallowed
    std::uint64_t runModifiers = 0; // the shortcut modifiers of the press that started capturing
    bool holding = false;
    std::uint32_t grabSequence = 0;
    int grabAttempts = 0;
    Dispatcher::TimerId retryTimer = 0;
    Dispatcher::TimerId pollTimer = 0;
    std::uint64_t lastFlags = 0;
    bool inHandler = false;
    std::deque<KeyEvent> pending;

    bool openConnection();
    void closeConnection();
    void loadKeymap();
    x11::Keysym level0(x11::Keycode key) const;
    std::vector<x11::Keycode> keycodesOf(x11::Keysym keysym) const;

    void grabShortcuts();
    void ungrabShortcuts();
    struct GrabOutcome {
        bool plainTaken = false;   // the combination itself
        bool variantTaken = false; // only with Shift or a lock on
    };
    bool grabShortcut(const HookShortcut& shortcut);
    GrabOutcome grabKeys(const std::vector<x11::Keycode>& keycodes, std::uint16_t modifiers);
    void logOnce(const QString& message);

    void pumpEvents();
    void scheduleDrain();
    void handleEvent(const xcb_generic_event_t* event);
    void onKey(const xcb_key_press_event_t* event, bool press);
    void onFocus(const xcb_focus_in_event_t* event, std::uint32_t fullSequence);
    void onMapping(xcb_mapping_notify_event_t* event);

    void startCapture();
    void stopCapture();
    void tryGrab();
    void retryGrab();
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
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    const xcb_screen_t* screen = xcb_connection_has_error(c) ? nullptr : screenOf(c, screenNumber);
    if (!screen) {
        xcb_disconnect(c);
        return false;
    }
    conn = c;
    root = screen->root;
    symbols = xcb_key_symbols_alloc(conn);
    // Focus events with a grab mode on the root tell when someone else takes the keyboard.
    const std::uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(conn, root, XCB_CW_EVENT_MASK, &mask);
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(conn), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { pumpEvents(); });
    loadKeymap();
    grabShortcuts();
    return true;
}

void X11KeyboardHook::Impl::closeConnection()
{
    if (!conn)
        return;
    if (retryTimer)
        dispatcher.cancel(std::exchange(retryTimer, 0));
    if (pollTimer)
        dispatcher.cancel(std::exchange(pollTimer, 0));
    capturing = false;
    holding = false;
    keyGrabs.clear();
    notifier->setEnabled(false);
    // The notifier may be the one whose signal is running right now.
    if (pumping > 0)
        notifier.release()->deleteLater();
    notifier.reset();
    if (symbols)
        xcb_key_symbols_free(std::exchange(symbols, nullptr));
    xcb_disconnect(std::exchange(conn, nullptr)); // ends every grab of ours
}

void X11KeyboardHook::Impl::loadKeymap()
{
    const xcb_setup_t* setup = xcb_get_setup(conn);
    std::array<std::uint64_t, 256> flagOfKey{};
    std::vector<x11::Keycode> numLockKeys;
    for (int key = setup->min_keycode; key <= setup->max_keycode; ++key) {
        const x11::Keysym keysym = level0(x11::Keycode(key));
        flagOfKey[std::size_t(key)] = x11::modifierFlagOf(keysym);
        if (keysym == x11::NumLockKeysym)
            numLockKeys.push_back(x11::Keycode(key));
    }
    XcbReply<xcb_get_modifier_mapping_reply_t> modmap(
        xcb_get_modifier_mapping_reply(conn, xcb_get_modifier_mapping(conn), nullptr));
    scheduleDrain();
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

x11::Keysym X11KeyboardHook::Impl::level0(x11::Keycode key) const
{
    return symbols ? xcb_key_symbols_get_keysym(symbols, key, 0) : 0;
}

std::vector<x11::Keycode> X11KeyboardHook::Impl::keycodesOf(x11::Keysym keysym) const
{
    // Only keys that type the keysym unshifted: those are the keys that translate back to it.
    std::vector<x11::Keycode> found;
    const xcb_setup_t* setup = xcb_get_setup(conn);
    for (int key = setup->min_keycode; key <= setup->max_keycode; ++key) {
        if (level0(x11::Keycode(key)) == keysym)
            found.push_back(x11::Keycode(key));
    }
    return found;
}

void X11KeyboardHook::Impl::grabShortcuts()
{
    if (!conn)
        return;
    ungrabShortcuts();
    std::vector<HookShortcut> nowTaken;
    for (const HookShortcut& shortcut : shortcuts) {
        if (!grabShortcut(shortcut))
            nowTaken.push_back(shortcut);
    }
    taken = std::move(nowTaken);
    xcb_flush(conn);
}

void X11KeyboardHook::Impl::ungrabShortcuts()
{
    for (const KeyGrab& grab : keyGrabs)
        xcb_ungrab_key(conn, grab.key, root, grab.modifiers);
    keyGrabs.clear();
}

// Grabs every key and modifier state of one shortcut; false when another program holds it.
bool X11KeyboardHook::Impl::grabShortcut(const HookShortcut& shortcut)
{
    const QString name = x11::shortcutName(shortcut);
    const std::uint16_t modifiers = x11::xModifiersForMask(shortcut.mask);
    if (modifiers == 0) {
        logOnce(QStringLiteral("%1 ignored as a shortcut: without Ctrl or Alt it would take the key "
                               "from every program")
                    .arg(name));
        return true;
    }
    std::vector<x11::Keycode> keycodes;
    for (x11::Keysym keysym : x11::keysymsForKeyCode(shortcut.key)) {
        for (x11::Keycode key : keycodesOf(keysym))
            keycodes.push_back(key);
    }
    if (keycodes.empty()) {
        logOnce(QStringLiteral("%1 cannot be used: no key of this keyboard layout types it; choose "
                               "another shortcut")
                    .arg(name));
        return true;
    }
    const GrabOutcome outcome = grabKeys(keycodes, modifiers);
    if (outcome.plainTaken) {
        logOnce(QStringLiteral("%1 is already taken by another program; the switcher will not open with "
                               "it — choose another shortcut or close that program")
                    .arg(name));
        return false;
    }
    if (outcome.variantTaken) {
        logOnce(QStringLiteral("%1 is taken by another program while Shift, Caps Lock or Num Lock is on; "
                               "the switcher may not open with it then — choose another shortcut or "
                               "close that program")
                    .arg(name));
        return false;
    }
    return true;
}

X11KeyboardHook::Impl::GrabOutcome X11KeyboardHook::Impl::grabKeys(const std::vector<x11::Keycode>& keycodes,
                                                                   std::uint16_t modifiers)
{
    struct Attempt {
        KeyGrab grab;
        xcb_void_cookie_t cookie;
    };
    std::vector<Attempt> attempts;
    for (x11::Keycode key : keycodes) {
        for (std::uint16_t variant : x11::grabVariants(modifiers, numLock)) {
            // Synchronous: the keyboard waits until the handler says whether to hand the press on.
            attempts.push_back(
                {{key, variant},
                 xcb_grab_key_checked(conn, 0, root, variant, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC)});
        }
    }
    GrabOutcome outcome;
    for (const Attempt& attempt : attempts) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(conn, attempt.cookie));
        if (!error) {
            keyGrabs.push_back(attempt.grab);
            continue;
        }
        (attempt.grab.modifiers == modifiers ? outcome.plainTaken : outcome.variantTaken) = true;
    }
    scheduleDrain();
    return outcome;
}

void X11KeyboardHook::Impl::logOnce(const QString& message)
{
    if (logged.contains(message))
        return;
    logged.insert(message);
    appLog(message);
}

void X11KeyboardHook::Impl::pumpEvents()
{
    if (!conn)
        return;
    ++pumping;
    while (conn) {
        XcbReply<xcb_generic_event_t> event(xcb_poll_for_event(conn));
        if (!event)
            break;
        handleEvent(event.get());
    }
    if (conn && xcb_connection_has_error(conn))
        connectionLost();
    --pumping;
}

// Waiting for a reply reads pending events into xcb's queue, where the socket notifier
// no longer sees them; a queued pump picks them up.
void X11KeyboardHook::Impl::scheduleDrain()
{
    if (drainPosted)
        return;
    drainPosted = true;
    dispatcher.post(guarded([this] {
        drainPosted = false;
        pumpEvents();
    }));
}

void X11KeyboardHook::Impl::handleEvent(const xcb_generic_event_t* event)
{
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS:
        onKey(reinterpret_cast<const xcb_key_press_event_t*>(event), true);
        break;
    case XCB_KEY_RELEASE:
        onKey(reinterpret_cast<const xcb_key_press_event_t*>(event), false);
        break;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT:
        onFocus(reinterpret_cast<const xcb_focus_in_event_t*>(event), event->full_sequence);
        break;
    case XCB_MAPPING_NOTIFY:
        onMapping(reinterpret_cast<xcb_mapping_notify_event_t*>(const_cast<xcb_generic_event_t*>(event)));
        break;
    default:
        break; // errors of unchecked requests (an ungrab of a key no longer grabbed) change nothing
    }
}

void X11KeyboardHook::Impl::onKey(const xcb_key_press_event_t* event, bool press)
{
    const x11::XKey key{event->detail, level0(event->detail), event->state, press};
    if (press)
        modifierKeys.press(key.keycode);
    else
        modifierKeys.release(key.keycode);
    const KeyEvent translated = x11::translateKey(key, modifierKeys);
    if (capturing) {
        if (translated.type != KeyEventType::FlagsChanged)
            deliver(translated);
        else if (translated.flags != lastFlags)
            deliverFlags(translated);
        // A shortcut press that froze the keyboard just before the keyboard grab took over.
        if (press && conn)
            allowEvents(XCB_ALLOW_ASYNC_KEYBOARD);
        return;
    }
    if (!press)
        return; // the release of a shortcut key whose press was handed on
    const int startsBefore = captureStarts;
    runModifiers = translated.flags & keys::ShortcutMask;
    const bool passOn = deliver(translated);
    if (!conn)
        return;
    if (passOn) {
        allowEvents(XCB_ALLOW_REPLAY_KEYBOARD);
        return;
    }
    // A passive grab ends when the shortcut key is released, and the modifier's release
    // would then go to the focused window: hold the whole keyboard from here on.
    if (captureStarts == startsBefore)
        startCapture();
    if (conn)
        allowEvents(XCB_ALLOW_ASYNC_KEYBOARD);
}

void X11KeyboardHook::Impl::onFocus(const xcb_focus_in_event_t* event, std::uint32_t fullSequence)
{
    if (!holding || event->event != root)
        return;
    if (event->mode != XCB_NOTIFY_MODE_GRAB && event->mode != XCB_NOTIFY_MODE_UNGRAB)
        return;
    // Focus events of our own grab carry its sequence number; later ones mean someone else's.
    if (std::int32_t(fullSequence - grabSequence) <= 0)
        return;
    disable(QStringLiteral("another program took the keyboard while the switcher was open; it closed "
                           "without switching"));
}

void X11KeyboardHook::Impl::onMapping(xcb_mapping_notify_event_t* event)
{
    if (event->request == XCB_MAPPING_POINTER)
        return;
    xcb_refresh_keyboard_mapping(symbols, event);
    loadKeymap();
    grabShortcuts();
}

void X11KeyboardHook::Impl::startCapture()
{
    capturing = true;
    ++captureStarts;
    grabAttempts = 0;
    tryGrab();
}

void X11KeyboardHook::Impl::stopCapture()
{
    capturing = false;
    if (retryTimer)
        dispatcher.cancel(std::exchange(retryTimer, 0));
    if (pollTimer)
        dispatcher.cancel(std::exchange(pollTimer, 0));
    if (!holding || !conn)
        return;
    holding = false;
    xcb_ungrab_keyboard(conn, XCB_CURRENT_TIME);
    // One round trip, so the keyboard is free when this returns: whatever the caller does
    // next through other connections (activating a window, a test typing) sees it released.
    XcbReply<xcb_get_input_focus_reply_t> sync(
        xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    scheduleDrain();
}

void X11KeyboardHook::Impl::tryGrab()
{
    if (!capturing || holding || !conn)
        return;
    const xcb_grab_keyboard_cookie_t cookie =
        xcb_grab_keyboard(conn, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(conn, cookie, nullptr));
    scheduleDrain();
    if (!reply && xcb_connection_has_error(conn)) {
        connectionLost();
        return;
    }
    const int status = reply ? reply->status : -1;
    if (status == XCB_GRAB_STATUS_SUCCESS) {
        holding = true;
        grabSequence = cookie.sequence;
        // A release that happened before the grab never arrives as an event.
        checkKeymap();
        if (holding)
            pollTimer = dispatcher.after(KeymapPollSeconds, guarded([this] { poll(); }));
        return;
    }
    const bool busy = status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_FROZEN;
    if (busy && ++grabAttempts < MaxGrabAttempts) {
        retryTimer = dispatcher.after(GrabRetrySeconds, guarded([this] { retryGrab(); }));
        return;
    }
    disable(QStringLiteral("the keyboard is held by another program, so the switcher closed without "
                           "switching — close that program's menu or dialog and try again"));
}

void X11KeyboardHook::Impl::retryGrab()
{
    retryTimer = 0;
    tryGrab();
}

void X11KeyboardHook::Impl::checkKeymap()
{
    XcbReply<xcb_query_keymap_reply_t> reply(xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr));
    scheduleDrain();
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
    pumpEvents();
    if (!holding || !conn)
        return;
    checkKeymap();
    if (holding && conn)
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
                          "shortcuts are off until it reconnects"));
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
    if (capturing && !ownerCaptures && (event.flags & runModifiers) != runModifiers)
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

bool X11KeyboardHook::exists() const
{
    return d->conn != nullptr;
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
    d->logged.clear();
    d->grabShortcuts();
}

void X11KeyboardHook::setCapturing(bool capturing)
{
    if (!d->conn)
        return;
    d->ownerCaptures = capturing;
    if (capturing == d->capturing)
        return;
    if (capturing)
        d->startCapture();
    else
        d->stopCapture();
}

std::vector<HookShortcut> X11KeyboardHook::takenShortcuts() const
{
    return d->taken;
}

bool X11KeyboardHook::holdsKeyboard() const
{
    return d->holding;
}

} // namespace zumo
