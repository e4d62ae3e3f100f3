// The switcher's shortcut held by KWin's own task switcher on Plasma: says so (standard error,
// the log, the tray, Settings), asks once whether Zumo may take it while it runs, and follows
// the Settings switch. KWinShortcuts makes the change and puts it back.
#pragma once

#include <functional>

#include "desktop/wayland/KWinShortcuts.h"
#include "platform/Listeners.h"
#include "settings/Slots.h"
#include "windows/Ask.h"
#include "windows/SettingsChoices.h"

namespace zumo {

class AppWindows;
class TrayIcon;

struct KWinShortcutConflictDeps {
    wayland::KWinShortcuts& shortcuts;
    ActiveSlots& slots;  // the shortcut list the script's actions get
    AppWindows& windows;
    std::function<TrayIcon*()> tray;  // null while there is none
    Ask ask = askWithMessageBox;
};

class KWinShortcutConflict {
public:
    explicit KWinShortcutConflict(KWinShortcutConflictDeps deps);

    // Takes the keys Zumo may take and tells about the others. After the launch.
    void check();
    // Asks once whether Zumo may take the keys KWin holds. Modal; after check().
    void offer();
    // For Settings: who holds the shortcut and how to free it; Zumo can, with consent.
    ShortcutHolding holding() const;
    std::vector<HookShortcut> taken() const;
    // The user turned taking the shortcut on or off in Settings.
    void consentChanged();

private:
    void slotsChanged();

    KWinShortcutConflictDeps d;
    Subscription m_slotsChanged;
    QString m_advice;  // why a key is still KWin's; empty when both are Zumo's
    bool m_consented = false;
};

} // namespace zumo
