// The keyboard hook on X11: passive key grabs on the root for the shortcuts (X11ShortcutGrabs),
// an active keyboard grab while a run is open, all on an X11Connection of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"

namespace zumo {

class Dispatcher;

// Behaviour, beyond the KeyboardHook contract:
// - Shortcut presses reach the handler as KeyDown; returning true hands the press on to the
//   focused window, false swallows it and takes the keyboard at once. The owner is expected
//   to call setCapturing(true) then and setCapturing(false) when the run ends; if it never
//   asks, capturing ends by itself once the shortcut's modifiers are released.
// - While capturing, every key press and release goes to the handler as KeyDown/KeyUp, and
//   modifier keys as FlagsChanged whenever the flags change (a release of Alt only once no
//   other Alt key is down). The return value is ignored: captured keys are never handed on.
// - Being refused the keyboard (another program holds it for ~100 ms) or losing it while
//   capturing delivers DisabledByUserInput, writes a log line and ends capturing.
// - The keyboard waits between a shortcut press and the handler's answer, so the handler
//   must answer at once. Events that arise while it runs are delivered after it returns.
// - A shortcut another program has grabbed is logged once with what to try; the others
//   still work, and the taken ones are tried again twice a second until they are ours. A shortcut without Ctrl or Alt is never grabbed. Grabs follow keymap changes.
// - Characters are what the key types in the active layout group (xkbcommon, kept in step with
//   the server's XKB events); the grave key is the key left of 1 on every layout.
// - If the X connection breaks, DisabledByUserInput is delivered and exists() turns false;
//   enable() reconnects.
class X11KeyboardHook final : public KeyboardHook {
public:
    // `display` empty means $DISPLAY. Nothing connects before create().
    explicit X11KeyboardHook(Dispatcher& dispatcher, QByteArray display = {});
    ~X11KeyboardHook() override;
    X11KeyboardHook(const X11KeyboardHook&) = delete;
    X11KeyboardHook& operator=(const X11KeyboardHook&) = delete;

    // False, with nothing kept, when the display cannot be opened.
    bool create(Handler handler) override;
    bool exists() const override;
    // Grabs the shortcuts again (after a disable); reconnects a broken connection.
    void enable() override;
    void destroy() override;
    bool listenAccessGranted() const override { return true; }
    void requestListenAccess() override {}
    // May be called before create(); the grabs follow once connected.
    void setShortcuts(const std::vector<HookShortcut>& shortcuts) override;
    // Turning capturing off returns once the X server has freed the keyboard.
    void setCapturing(bool capturing) override;

    // The shortcuts whose grab another program holds, as of the last grab.
    std::vector<HookShortcut> takenShortcuts() const;
    // Connected and the first shortcut (the main one) is not held by another program.
    bool mainShortcutHeld() const;
    // The set of shortcuts held by another program changed. Main thread.
    Notifier<> takenChanged;
    // Returns once every event the X server sent the hook before the call has been handled.
    void sync();
    // Whether the active keyboard grab is held right now.
    bool holdsKeyboard() const;
    // The XKB layout of the active group as setxkbmap named it (e.g. "de"), kept in step by
    // events, so reading it costs no round trip; empty when not connected or not named.
    QString activeLayout() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zumo
