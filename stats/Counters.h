// Usage counters kept three times (today, the current period, all time) in the settings store.
// Main thread only.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QTimeZone>
#include <array>
#include <cstdint>
#include <optional>

namespace zumo {

class SettingsStore;
class Clock;

// The metrics the statistics window lists, in its order, with their titles.
struct MetricTitle {
    const char* metric;
    const char* title;
};
inline constexpr std::array<MetricTitle, 10> StatsMetrics{{
    {"switches", "Window switches"},
    {"jumps", "Number-key jumps"},
    {"searches", "Searches used"},
    {"quits", "Apps quit from switcher"},
    {"closes", "Windows closed"},
    {"mins", "Windows minimized"},
    {"hides", "Apps hidden"},
    {"snaps", "Windows snapped"},
    {"perapp", "Current-app cycles"},
    {"mousePicks", "Pointer picks"},
}};

// The automatic new-period choices, indexed by "stats.auto" (clamped to 0...3).
struct AutoPeriod {
    int days;  // 0: never
    const char* title;
};
inline constexpr std::array<AutoPeriod, 4> AutoPeriods{{
    {0, "Never"},
    {1, "Every day"},
    {7, "Every week"},
    {30, "Every month"},
}};

// Days of the automatic period for a stored "stats.auto" value; out-of-range values are clamped.
int autoPeriodDays(std::int64_t storedAuto);
// True when a period begun at sinceMs has run for days × 86400 seconds or more at nowMs; never
// when days is 0 or less. Elapsed time, not calendar days.
bool periodHasEnded(int days, qint64 sinceMs, qint64 nowMs);
// "%dd %02dh %02dm %02ds" of a number of seconds; negative counts as 0.
QString formatElapsedSeconds(std::int64_t seconds);
// A stored counter: whole numbers as they are, other numbers truncated toward zero (saturating at
// the 64-bit limits), anything else (missing, text, boolean...) 0.
std::int64_t counterValue(const QJsonValue& value);
// The value when it is a whole number within 64 bits; nothing for fractions, text and the rest.
std::optional<std::int64_t> wholeNumber(const QJsonValue& value);

class Counters {
public:
    // Day keys use the given zone's calendar (the system's by default).
    Counters(SettingsStore& store, const Clock& clock, QTimeZone zone = QTimeZone::systemTimeZone());

    QString dayKey(const QDateTime& moment) const;  // "yyyyMMdd" in local time
    QString todayKey() const;                       // cached until the next local midnight

    // Adds amount to "all." + metric, "period." + metric and "day." + todayKey() + "." + metric,
    // in that order. A sum beyond the 64-bit range stays at the limit.
    void bumpCounter(const QString& metric, std::int64_t amount = 1);
    std::int64_t todayCount(const QString& metric) const;
    std::int64_t allCount(const QString& metric) const;
    std::int64_t periodCount(const QString& metric) const;

    // "stats.allSince" or "stats.periodSince" (seconds since 1970). Missing, not a number, or too
    // far out to be a date: now is stored and returned.
    QDateTime sinceDate(const QString& key);
    // Drops every "period." key and starts the period now; day and all-time counts stay.
    void startNewPeriod();
    // Starts a new period once the one under way has run for the "stats.auto" number of days.
    void checkAutoPeriod();
    // Once per launch, before anything is counted: creates both since dates, folds the counters
    // of older builds ("savedCount", "quitCount", "switches") into their metrics, and drops every
    // day counter not of today. An old key that is not a whole number is left alone.
    void statsMaintenanceAtLaunch();
    // {"all": {metric: count of every whole-numbered "all." key}, "since": whole seconds of
    // "stats.allSince"}.
    QJsonObject statsSnapshot();
    // The running time since the moment, e.g. "1d 02h 03m 04s"; a future moment gives zeros.
    QString formatElapsed(const QDateTime& since) const;

private:
    void add(const QString& key, std::int64_t amount);

    SettingsStore& m_store;
    const Clock& m_clock;
    QTimeZone m_zone;
    // todayKey() is on the switch path: the key holds for [m_dayStartMs, m_dayEndMs).
    mutable QString m_dayKey;
    mutable qint64 m_dayStartMs = 0;
    mutable qint64 m_dayEndMs = 0;
};

} // namespace zumo
