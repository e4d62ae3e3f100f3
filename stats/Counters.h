// Usage counters kept three times (today, the current period, all time) in the settings store.
// Main thread only.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QTimeZone>
#include <cstdint>

namespace zumo {

class SettingsStore;
class Clock;

class Counters {
public:
    // Day keys use the given zone's calendar (the system's by default).
    Counters(SettingsStore& store, const Clock& clock, QTimeZone zone = QTimeZone::systemTimeZone());

    QString dayKey(const QDateTime& moment) const;  // "yyyyMMdd" in local time
    QString todayKey() const;

    void bumpCounter(const QString& metric, std::int64_t amount = 1);
    std::int64_t todayCount(const QString& metric) const;
    std::int64_t allCount(const QString& metric) const;
    std::int64_t periodCount(const QString& metric) const;

    // "stats.allSince" or "stats.periodSince"; created as now on first read.
    QDateTime sinceDate(const QString& key);
    void startNewPeriod();
    void checkAutoPeriod();
    void statsMaintenanceAtLaunch();
    QJsonObject statsSnapshot();
    QString formatElapsed(const QDateTime& since) const;

private:
    SettingsStore& m_store;
    const Clock& m_clock;
    QTimeZone m_zone;
};

} // namespace zumo
