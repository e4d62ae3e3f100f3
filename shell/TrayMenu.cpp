// The tray menu's titles, order and check marks, the icon's look, and the pause end times.
#include "shell/TrayMenu.h"

#include <QTime>

namespace zumo {
namespace {

constexpr double PauseFallbackSeconds = 8 * 3600;

MenuItem separator()
{
    return MenuItem{.kind = MenuItem::Kind::Separator};
}

MenuItem action(const QString& title, TrayAction what, QString shortcut = {})
{
    return MenuItem{.title = title, .action = what, .shortcut = std::move(shortcut)};
}

MenuItem pauseSubmenu(const TrayState& state)
{
    const bool paused = isPaused(state);
    MenuItem holder{.kind = MenuItem::Kind::Submenu, .title = QStringLiteral("Pause Switcher")};
    if (paused) {
        const QDateTime end = QDateTime::fromMSecsSinceEpoch(qint64(state.pauseUntil * 1000.0), Qt::UTC);
        holder.title = pausedUntilTitle(end, state.now, state.locale, state.zone);
    }
    holder.children = {
        action(QStringLiteral("For 15 minutes"), TrayAction::PauseQuarterHour),
        action(QStringLiteral("For 1 hour"), TrayAction::PauseHour),
        action(QStringLiteral("Until tomorrow"), TrayAction::PauseUntilTomorrow),
    };
    // "Resume Now" exists only while there is something to resume.
    if (paused) {
        holder.children.push_back(separator());
        holder.children.push_back(action(QStringLiteral("Resume Now"), TrayAction::ResumeNow));
    }
    return holder;
}

QString dayName(const QDate& day, const QDate& today, const QLocale& locale)
{
    const qint64 offset = today.daysTo(day);
    if (offset == 0)
        return QStringLiteral("Today");
    if (offset == 1)
        return QStringLiteral("Tomorrow");
    if (offset == -1)
        return QStringLiteral("Yesterday");
    return locale.toString(day, QLocale::ShortFormat);
}

// 06:00 on the given local day, or the first moment after a clock change that skips it.
QDateTime sixOClockOn(const QDate& day, const QTimeZone& zone)
{
    const QDateTime wanted(day, QTime(6, 0), zone);
    if (wanted.isValid() && wanted.time() == QTime(6, 0))
        return wanted;
    const QTimeZone::OffsetData change = zone.nextTransition(QDateTime(day, QTime(0, 0), zone));
    return change.atUtc.isValid() ? change.atUtc : QDateTime();
}

} // namespace

bool isPaused(const TrayState& state)
{
    return double(state.now.toMSecsSinceEpoch()) / 1000.0 < state.pauseUntil;
}

QString statusLine(const TrayState& state)
{
    if (!state.hookRunning)
        return QStringLiteral("Not watching the keyboard");
    if (isPaused(state))
        return QStringLiteral("Paused");
    if (state.enabled)
        return QStringLiteral("Active \u2014 ") + (state.trigger > 0 ? QStringLiteral("Ctrl+Tab") : QStringLiteral("Alt+Tab"));
    return QStringLiteral("Off");
}

QString switchesLine(std::int64_t allSwitches, std::int64_t todaySwitches)
{
    return QStringLiteral("\u26a1 %1 window switch%2 \u00b7 %3 today")
        .arg(allSwitches)
        .arg(allSwitches == 1 ? QString() : QStringLiteral("es"))
        .arg(todaySwitches);
}

QString pausedUntilTitle(const QDateTime& end, const QDateTime& now, const QLocale& locale, const QTimeZone& zone)
{
    const QDateTime localEnd = end.toTimeZone(zone);
    const QDate today = now.toTimeZone(zone).date();
    return QStringLiteral("Paused until %1, %2")
        .arg(dayName(localEnd.date(), today, locale), locale.toString(localEnd.time(), QLocale::ShortFormat));
}

std::vector<MenuItem> trayMenu(const TrayState& state)
{
    MenuItem toggle = action(QStringLiteral("Enable Zumo"), TrayAction::ToggleEnabled);
    toggle.checkable = true;
    toggle.checked = state.enabled;
    return {
        MenuItem{.kind = MenuItem::Kind::Header, .title = statusLine(state), .enabled = false},
        MenuItem{.title = switchesLine(state.allSwitches, state.todaySwitches), .enabled = false},
        separator(),
        toggle,
        pauseSubmenu(state),
        separator(),
        action(QStringLiteral("Statistics\u2026"), TrayAction::OpenStats),
        action(QStringLiteral("Hidden Apps\u2026"), TrayAction::OpenHidden),
        separator(),
        action(QStringLiteral("Settings\u2026"), TrayAction::OpenSettings, QStringLiteral("Ctrl+,")),
        action(QStringLiteral("Check for Updates\u2026"), TrayAction::CheckUpdates),
        action(QStringLiteral("About Zumo"), TrayAction::OpenAbout),
        separator(),
        action(QStringLiteral("Quit Zumo"), TrayAction::Quit),
    };
}

TrayLook trayLook(const TrayState& state)
{
    TrayLook look;
    look.paused = isPaused(state);
    look.opacity = state.enabled && !look.paused ? 1.0 : 0.45;
    if (state.menuCounter)
        look.counter = QString::number(state.todaySwitches);
    look.tooltip = QStringLiteral("Zumo \u2014 ") + statusLine(state);
    return look;
}

int pauseMinutes(TrayAction action)
{
    switch (action) {
    case TrayAction::PauseQuarterHour:
        return 15;
    case TrayAction::PauseHour:
        return 60;
    case TrayAction::PauseUntilTomorrow:
        return 0;
    default:
        return -1;
    }
}

double pauseEnd(int minutes, const QDateTime& now, const QTimeZone& zone)
{
    const double nowSeconds = double(now.toMSecsSinceEpoch()) / 1000.0;
    if (minutes > 0)
        return nowSeconds + minutes * 60.0;
    const QDateTime end = nextSixOClock(now, zone);
    return end.isValid() ? double(end.toMSecsSinceEpoch()) / 1000.0 : nowSeconds + PauseFallbackSeconds;
}

QDateTime nextSixOClock(const QDateTime& now, const QTimeZone& zone)
{
    const QDate today = now.toTimeZone(zone).date();
    for (int days = 0; days <= 2; ++days) {
        const QDateTime candidate = sixOClockOn(today.addDays(days), zone);
        if (candidate.isValid() && candidate > now)
            return candidate.toUTC();
    }
    return {};
}

} // namespace zumo
