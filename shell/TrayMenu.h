// The tray menu and icon as values: what they show for a given state, decided without any widget,
// so tests read every title, check mark and action without a tray.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <cstdint>
#include <vector>

namespace zumo {

// What choosing a menu item asks for. The tray executes the pause and enable actions itself
// and hands the rest to the application.
enum class TrayAction {
    None,
    ToggleEnabled,
    PauseQuarterHour,
    PauseHour,
    PauseUntilTomorrow,
    ResumeNow,
    OpenStats,
    OpenHidden,
    OpenSettings,
    CheckUpdates,
    OpenAbout,
    Quit,
};

struct MenuItem {
    enum class Kind { Header, Action, Separator, Submenu };
    Kind kind = Kind::Action;
    QString title{};     // the header's status line for a Header
    TrayAction action = TrayAction::None;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    QString shortcut{};  // a QKeySequence text, e.g. "Ctrl+,"
    std::vector<MenuItem> children{};
};

// Everything the menu and the icon depend on, read fresh before each drawing.
struct TrayState {
    bool enabled = true;
    double pauseUntil = 0;       // seconds since 1970; paused while now is before it
    std::int64_t todaySwitches = 0;
    std::int64_t allSwitches = 0;
    bool hookRunning = false;    // the keyboard hook is installed
    int trigger = 0;             // > 0: Control, else Alt
    bool menuCounter = false;
    QDateTime now{};
    QLocale locale{};
    QTimeZone zone = QTimeZone::systemTimeZone();
};

// How the tray icon looks.
struct TrayLook {
    bool paused = false;
    double opacity = 1.0;  // 0.45 while switched off or paused
    QString counter{};     // today's switches beside the icon; empty when "menuCounter" is off
    QString tooltip{};
    bool operator==(const TrayLook&) const = default;
};

bool isPaused(const TrayState& state);
// "Not watching the keyboard", "Paused", "Active — Alt+Tab" / "Active — Ctrl+Tab" (the key
// names this desktop prints on its keys, not another system's signs) or "Off".
QString statusLine(const TrayState& state);
// "⚡ 1204 window switches · 37 today"; exactly one all-time switch reads "1 window switch".
QString switchesLine(std::int64_t allSwitches, std::int64_t todaySwitches);
// "Paused until Tomorrow 06:00" in the locale's short date and time, with today, tomorrow and
// yesterday named instead of a date.
QString pausedUntilTitle(const QDateTime& end, const QDateTime& now, const QLocale& locale, const QTimeZone& zone);
// The whole menu, top to bottom.
std::vector<MenuItem> trayMenu(const TrayState& state);
TrayLook trayLook(const TrayState& state);

// The pause length of a pause action in minutes, 0 meaning until tomorrow; -1 for other actions.
int pauseMinutes(TrayAction action);
// The pause end, in seconds since 1970, for a pause of the given minutes chosen at now; 0 minutes
// pauses until the next 06:00 local time.
double pauseEnd(int minutes, const QDateTime& now, const QTimeZone& zone);
// The first moment after now at 06:00:00 local time: the same morning before six, else the next
// one. A day whose 06:00 does not exist (a clock change at that hour) gives the first moment
// after it; should no such day be found, now + 8 hours.
QDateTime nextSixOClock(const QDateTime& now, const QTimeZone& zone);

} // namespace zumo
