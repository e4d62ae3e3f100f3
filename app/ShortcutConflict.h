// The switcher's shortcut held by the window manager on X11: says who holds it and how to free
// it (standard error, the log, the tray, Settings), asks once whether Zumo may free it, frees it
// while Zumo runs and puts it back when Zumo quits. Zumo takes the key only once it is free.
// Window managers that keep their bindings in GSettings are freed through gsettings
// (ShortcutRelease), kwin_x11 through its kglobalaccel (KWinShortcuts).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "desktop/wayland/KWinShortcuts.h"
#include "desktop/x11/ShortcutRelease.h"
#include "platform/Listeners.h"
#include "windows/Ask.h"
#include "windows/SettingsChoices.h"

namespace zumo {

class AppWindows;
class SettingsStore;
class TrayIcon;
struct X11Desktop;

struct ShortcutConflictDeps {
    SettingsStore& store;
    X11Desktop& x11;
    AppWindows& windows;
    std::function<TrayIcon*()> tray;  // null while there is none
    Ask ask = askWithMessageBox;
    x11::ShortcutRelease::GSettings gsettings = x11::ShortcutRelease::runGSettings;
};

class ShortcutConflict {
public:
    explicit ShortcutConflict(ShortcutConflictDeps deps);

    // Looks at the shortcuts the hook found taken, once, after its first grab. Main thread.
    void check();
    // For Settings: who holds the taken shortcuts, how to free them, and whether Zumo can.
    ShortcutHolding holding() const;
    // The user turned taking the shortcuts from the window manager on or off in Settings.
    void consentChanged();
    // Lets go of the keyboard and gives the window manager back what was freed. At quit.
    void giveBack();

private:
    bool kwinBindsMain(const x11::ShortcutHolder& holder) const;
    bool kwinHolds(const x11::ShortcutHolder& holder, const std::vector<HookShortcut>& shortcuts);
    void offer(const QString& holder, const QString& advice);
    void unbindAndTake();
    bool holdsFreed() const;
    void restore();

    ShortcutConflictDeps d;
    x11::ShortcutRelease m_release;
    ShortcutHolding m_holding;
    std::vector<x11::BindingEdit> m_edits;  // what frees the shortcuts from the window manager
    // kwin_x11's kglobalaccel, while it runs: KWin's actions hold the keys it grabs.
    std::unique_ptr<wayland::BusGlobalShortcuts> m_accel;
    std::unique_ptr<wayland::KWinShortcuts> m_kwin;
    bool m_kwinHolds = false;  // one of KWin's actions held a key at check()
    Subscription m_taken;
};

} // namespace zumo
