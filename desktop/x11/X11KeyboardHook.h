// The keyboard hook on X11: passive key grabs on the root for the shortcuts (X11ShortcutGrabs),
// an active keyboard grab while a run is open, all on an X11Connection of its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"
#include "desktop/x11/InputTime.h"

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
//   still work. A taken one is tried again twice a second (unless setRetakeOnTimer(false)),
//   but never at a keymap change nor within 1.5 s of one, when every client takes its grabs
//   again: a retry then would win the key from its holder by timing alone.
//   A shortcut without Ctrl or Alt is never grabbed. Grabs follow keymap changes.
// - Characters are what the key types in the active layout group (xkbcommon, kept in step with
//   the server's XKB events); the grave key is the key left of 1 on every layout.
// - If the X connection breaks, DisabledByUserInput is delivered and enabled() turns false
//   (the hook still exists); enable() reconnects.
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
    bool enabled() const override;
    // Grabs the shortcuts again (after a disable); reconnects a broken connection.
    void enable() override;
    void destroy() override;
    bool listenAccessGranted() const override { return true; }
    void requestListenAccess() override {}
    // May be called before create(); the grabs follow once connected.
    void setShortcuts(const std::vector<HookShortcut>& shortcuts) override;
    // Turning capturing off returns once the X server has freed the keyboard.
    void setCapturing(bool capturing) override;

    // Tries the shortcuts another program held again, now (after their holder was asked to let go).
    void retakeShortcuts();
    // Lets go of every shortcut for their former holder to take back, and does not try them again
    // until retakeShortcuts() (setRetakeOnTimer(false) first).
    void letGo();
    // Whether taken shortcuts are retried on a timer: off once the holder is known to be the
    // window manager, which keeps them until the user frees them there.
    void setRetakeOnTimer(bool on);
    // The shortcuts whose grab another program holds, as of the last grab.
    std::vector<HookShortcut> takenShortcuts() const;
    // Every shortcut the hook is set to watch, the main one first.
    const std::vector<HookShortcut>& shortcuts() const;
    // Connected and the first shortcut (the main one) is not held by another program.
    bool mainShortcutHeld() const;
    // The set of shortcuts held by another program changed, or the hook (re)connected. Main thread.
    Notifier<> takenChanged;
    // Returns once every event the X server sent the hook before the call has been handled.
    void sync();
    // The latest key event the hook read; none before any. Main thread.
    std::optional<x11::InputStamp> lastInput() const;
    // Whether the active keyboard grab is held right now.
    bool holdsKeyboard() const;
    // Runs before each shortcut press reaches the handler: the desktop model reads what the
    // server sent it before the key, so the press is judged by the window focused just before.
    void setBeforeShortcut(std::function<void()> catchUp);
    // Asked before the keyboard is taken for a run: the gate calls back when it may be taken (at
    // once, or later). Without one it is taken at once.
    void setCaptureGate(std::function<void(std::function<void()>)> gate);
    // The XKB layout of the active group as setxkbmap named it (e.g. "de"), kept in step by
    // events, so reading it costs no round trip; empty when not connected or not named.
    QString activeLayout() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zumo
