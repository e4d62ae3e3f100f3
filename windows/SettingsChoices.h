// The pure decisions of the Settings window: popup choices, shortcut conflicts, the words for
// shortcuts on this desktop, and what the permission rows say.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/KeyboardHook.h"

namespace zumo {

class Settings;

// The "Appears:" popup's delays in seconds, by index.
inline constexpr std::array<double, 4> DelayChoices{0.0, 0.12, 0.25, 0.5};
// The index whose delay is nearest to seconds; on a tie the earlier one.
int nearestDelayIndex(double seconds);

// The number (1-4) of the shortcut that already uses mask + key when extra shortcut n (3 or 4)
// would take it: 1 the main shortcut, 2 the current-app shortcut (when on), 3 or 4 the other
// extra shortcut as stored (when on). Nothing when the combination is free.
std::optional<int> shortcutConflict(const Settings& settings, int n, std::uint64_t mask, std::int64_t key);
QString conflictMessage(int shortcut);

// An extra shortcut stored on that does nothing, because an earlier one (the main shortcut, the
// current-app shortcut, or shortcut 3 for shortcut 4) took its combination since, for example
// when the main shortcut changed: what to tell the user, or empty when every shortcut works.
QString shadowedShortcutMessage(const Settings& settings);

// Modifier names as this desktop's keyboards print them: Option is the Alt key here.
QString modifierTitle(std::uint64_t mask);           // "Alt", "Control", "Alt + Control"
QString shortcutTitle(const HookShortcut& shortcut); // "Alt+Tab", "Alt+Control+Space"

enum class Tone { good, pending, bad, neutral };

// One status line of a permission row, and what the user can do about it.
struct StatusLine {
    QString text; // "● Granted" and the like
    Tone tone = Tone::neutral;
    QString note; // a sentence under the row; empty when all is well
    bool operator==(const StatusLine&) const = default;
};

// Who holds the taken shortcuts ("Marco") and how the user frees them there; empty when unknown.
struct ShortcutHolding {
    QString holder;
    QString advice;
    bool canFree = false;  // Zumo can take the shortcuts from it while it runs, with consent
};

// Keyboard access: the display is open (trusted), the hook watches the keyboard, and none of
// the shortcuts is held by another program (named by `holding` when known).
StatusLine keyboardStatus(bool trusted, bool watching, const std::vector<HookShortcut>& taken,
                          const ShortcutHolding& holding = {});
// Window capture for previews.
StatusLine captureStatus(bool granted);

} // namespace zumo
