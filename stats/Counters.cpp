// The counter store: key scheme, increments, day keys, periods and the launch maintenance.
#include "stats/Counters.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Clock.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

using Limits = std::numeric_limits<std::int64_t>;

const QString AllPrefix = QStringLiteral("all.");
const QString PeriodPrefix = QStringLiteral("period.");
const QString DayPrefix = QStringLiteral("day.");
const QString AllSinceKey = QStringLiteral("stats.allSince");
const QString PeriodSinceKey = QStringLiteral("stats.periodSince");
const QString AutoKey = QStringLiteral("stats.auto");

// Plain counters of older builds and the metric each now lives in.
struct OldCounter {
    const char* key;
    const char* metric;
};
constexpr std::array<OldCounter, 3> OldCounters{{
    {"savedCount", "saved"},
    {"quitCount", "quits"},
    {"switches", "switches"},
}};

// Beyond this a stored "since" is no date QDateTime can hold; treat it as missing.
constexpr double MaxSinceSeconds = 1e13;

std::int64_t saturatingAdd(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? Limits::max() : Limits::min();
}

} // namespace

int autoPeriodDays(std::int64_t storedAuto)
{
    const auto index = std::clamp<std::int64_t>(storedAuto, 0, std::int64_t(AutoPeriods.size()) - 1);
    return AutoPeriods[std::size_t(index)].days;
}

bool periodHasEnded(int days, qint64 sinceMs, qint64 nowMs)
{
    if (days <= 0)
        return false;
    return nowMs - sinceMs >= qint64(days) * 86400 * 1000;
}

QString formatElapsedSeconds(std::int64_t seconds)
{
    const long long s = std::max<std::int64_t>(seconds, 0);
    return QString::asprintf("%lldd %02lldh %02lldm %02llds", s / 86400, (s % 86400) / 3600,
                             (s % 3600) / 60, s % 60);
}

std::optional<std::int64_t> wholeNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers its fallback for fractions and out-of-range numbers; two different
    // fallbacks tell a stored value apart from a refusal without losing any 64-bit value.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        return std::nullopt;
    return a;
}

std::int64_t counterValue(const QJsonValue& value)
{
    if (const auto whole = wholeNumber(value))
        return *whole;
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (std::isnan(d))
        return 0;
    if (d >= 9.2233720368547758e18)
        return Limits::max();
    if (d <= -9.2233720368547758e18)
        return Limits::min();
    return std::int64_t(std::trunc(d));
}

Counters::Counters(SettingsStore& store, const Clock& clock, QTimeZone zone)
    : m_store(store), m_clock(clock), m_zone(std::move(zone))
{
}

QString Counters::dayKey(const QDateTime& moment) const
{
    const QDate date = moment.toTimeZone(m_zone).date();
    return QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
}

QString Counters::todayKey() const
{
    const qint64 nowMs = m_clock.now().toMSecsSinceEpoch();
    if (nowMs >= m_dayStartMs && nowMs < m_dayEndMs)
        return m_dayKey;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(nowMs, m_zone);
    const QString key = dayKey(local);
    const QDateTime start(local.date(), QTime(0, 0), m_zone);
    const QDateTime end(local.date().addDays(1), QTime(0, 0), m_zone);
    // A midnight that falls into a daylight-saving gap gives odd bounds; then nothing is cached.
    if (start.isValid() && end.isValid() && start.toMSecsSinceEpoch() <= nowMs
        && nowMs < end.toMSecsSinceEpoch()) {
        m_dayKey = key;
        m_dayStartMs = start.toMSecsSinceEpoch();
        m_dayEndMs = end.toMSecsSinceEpoch();
    }
    return key;
}

void Counters::add(const QString& key, std::int64_t amount)
{
    const std::int64_t current = counterValue(m_store.value(key));
    m_store.setValue(key, QJsonValue(qint64(saturatingAdd(current, amount))));
}

void Counters::bumpCounter(const QString& metric, std::int64_t amount)
{
    add(AllPrefix + metric, amount);
    add(PeriodPrefix + metric, amount);
    add(DayPrefix + todayKey() + QLatin1Char('.') + metric, amount);
}

std::int64_t Counters::todayCount(const QString& metric) const
{
    return counterValue(m_store.value(DayPrefix + todayKey() + QLatin1Char('.') + metric));
}

std::int64_t Counters::allCount(const QString& metric) const
{
    return counterValue(m_store.value(AllPrefix + metric));
}

std::int64_t Counters::periodCount(const QString& metric) const
{
    return counterValue(m_store.value(PeriodPrefix + metric));
}

QDateTime Counters::sinceDate(const QString& key)
{
    const QJsonValue stored = m_store.value(key);
    if (stored.isDouble() && std::abs(stored.toDouble()) < MaxSinceSeconds)
        return QDateTime::fromMSecsSinceEpoch(std::llround(stored.toDouble() * 1000.0), Qt::UTC);
    const QDateTime now = m_clock.now();
    m_store.setValue(key, double(now.toMSecsSinceEpoch()) / 1000.0);
    return now.toUTC();
}

void Counters::startNewPeriod()
{
    m_store.removeWithPrefix(PeriodPrefix);
    m_store.setValue(PeriodSinceKey, m_clock.nowSeconds());
}

void Counters::checkAutoPeriod()
{
    const int days = autoPeriodDays(counterValue(m_store.value(AutoKey)));
    if (days == 0)
        return;
    const qint64 sinceMs = sinceDate(PeriodSinceKey).toMSecsSinceEpoch();
    if (periodHasEnded(days, sinceMs, m_clock.now().toMSecsSinceEpoch()))
        startNewPeriod();
}

void Counters::statsMaintenanceAtLaunch()
{
    sinceDate(AllSinceKey);
    sinceDate(PeriodSinceKey);
    for (const OldCounter& old : OldCounters) {
        const QString key = QLatin1String(old.key);
        const auto count = wholeNumber(m_store.value(key));
        if (!count)
            continue;
        if (*count >= 1)
            bumpCounter(QLatin1String(old.metric), *count);
        m_store.remove(key);
    }
    const QString today = DayPrefix + todayKey() + QLatin1Char('.');
    const QStringList keys = m_store.keys();
    for (const QString& key : keys) {
        if (key.startsWith(DayPrefix) && !key.startsWith(today))
            m_store.remove(key);
    }
}

QJsonObject Counters::statsSnapshot()
{
    QJsonObject all;
    const QStringList keys = m_store.keys();
    for (const QString& key : keys) {
        if (!key.startsWith(AllPrefix))
            continue;
        if (const auto count = wholeNumber(m_store.value(key)))
            all.insert(key.mid(AllPrefix.size()), qint64(*count));
    }
    const qint64 since = sinceDate(AllSinceKey).toMSecsSinceEpoch() / 1000;  // toward zero
    return QJsonObject{{QStringLiteral("all"), all}, {QStringLiteral("since"), since}};
}

QString Counters::formatElapsed(const QDateTime& since) const
{
    const qint64 elapsedMs = m_clock.now().toMSecsSinceEpoch() - since.toMSecsSinceEpoch();
    return formatElapsedSeconds(elapsedMs / 1000);
}

} // namespace zumo
