// The typed preference readers: defaults, type rules and clamps, read from the store on every call.
#include "settings/Settings.h"

#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <climits>
#include <cmath>

#include "settings/SettingsStore.h"

namespace zumo {
namespace {

constexpr std::uint64_t OptionMask = 0x80000;
constexpr std::uint64_t ControlMask = 0x40000;

QString slotSettingKey(int n, const char* field)
{
    return QStringLiteral("slot%1.%2").arg(n).arg(QLatin1String(field));
}

// A double truncated toward zero into [lo, hi]; done in double so that huge values cannot overflow.
std::int64_t truncateClamped(double value, std::int64_t lo, std::int64_t hi)
{
    const double t = std::trunc(value);
    if (t <= double(lo))
        return lo;
    if (t >= double(hi))
        return hi;
    return std::int64_t(t);
}

} // namespace

bool Settings::boolean(const QString& key, bool fallback) const
{
    const QJsonValue v = m_store.value(key);
    return v.isBool() ? v.toBool() : fallback;
}

std::int64_t Settings::integer(const QString& key, std::int64_t fallback, std::int64_t lo, std::int64_t hi) const
{
    const QJsonValue v = m_store.value(key);
    if (!v.isDouble())
        return std::clamp(fallback, lo, hi);
    // Whole numbers are kept exactly as 64-bit integers (two defaults agree only then); the rest
    // goes through double.
    const qint64 whole = v.toInteger(0);
    if (whole == v.toInteger(1))
        return std::clamp(std::int64_t(whole), lo, hi);
    const double d = v.toDouble();
    if (std::isnan(d))
        return std::clamp(fallback, lo, hi);
    return truncateClamped(d, lo, hi);
}

double Settings::number(const QString& key, double fallback) const
{
    const QJsonValue v = m_store.value(key);
    if (!v.isDouble())
        return fallback;
    const double d = v.toDouble();
    return std::isnan(d) ? fallback : d;
}

bool Settings::enabled() const { return boolean(QStringLiteral("enabled"), true); }

int Settings::trigger() const
{
    return int(integer(QStringLiteral("trigger"), 0, INT_MIN, INT_MAX));
}

std::uint64_t Settings::triggerMask() const { return trigger() > 0 ? ControlMask : OptionMask; }
bool Settings::perWindow() const { return boolean(QStringLiteral("perWindow"), true); }

double Settings::showDelay() const
{
    return std::clamp(number(QStringLiteral("showDelay"), 0.12), 0.0, 1.0);
}

int Settings::tileSize() const { return int(integer(QStringLiteral("tileSize"), 1, 0, 2)); }
bool Settings::showNumbers() const { return boolean(QStringLiteral("showNumbers"), true); }
bool Settings::showHints() const { return boolean(QStringLiteral("showHints"), true); }
bool Settings::showWindowless() const { return boolean(QStringLiteral("showWindowless"), false); }
bool Settings::previews() const { return boolean(QStringLiteral("previews"), false); }
bool Settings::otherSpaces() const { return boolean(QStringLiteral("otherSpaces"), false); }
bool Settings::perAppKey() const { return boolean(QStringLiteral("perAppKey"), true); }
bool Settings::mouse() const { return boolean(QStringLiteral("mouse"), true); }
bool Settings::showMenuBar() const { return boolean(QStringLiteral("showMenuBar"), true); }
bool Settings::menuCounter() const { return boolean(QStringLiteral("menuCounter"), false); }
bool Settings::showDock() const { return boolean(QStringLiteral("showDock"), false); }
bool Settings::openAtLaunch() const { return boolean(QStringLiteral("openAtLaunch"), true); }
int Settings::appearance() const { return int(integer(QStringLiteral("appearance"), 0, 0, 2)); }
int Settings::displayMode() const { return int(integer(QStringLiteral("displayMode"), 0, 0, 2)); }
bool Settings::listTabs() const { return boolean(QStringLiteral("listTabs"), false); }
bool Settings::autoUpdate() const { return boolean(QStringLiteral("autoUpdate"), true); }

std::optional<QMap<QString, QString>> Settings::appModes() const
{
    const QJsonValue v = m_store.value(QStringLiteral("appModes"));
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject object = v.toObject();
    QMap<QString, QString> modes;
    // One entry of another type (a hand edit) must not cost the others their rule.
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString())
            modes.insert(it.key(), it.value().toString());
    }
    return modes;
}

bool Settings::slotOn(int n) const { return boolean(slotSettingKey(n, "on"), false); }
int Settings::slotMod(int n) const { return int(integer(slotSettingKey(n, "mod"), 2, 0, 2)); }
int Settings::slotKey(int n) const { return int(integer(slotSettingKey(n, "key"), n == 4 ? 1 : 0, 0, 3)); }

SlotFilter Settings::slotFilter(int n) const
{
    const std::int64_t raw = integer(slotSettingKey(n, "filter"), n == 4 ? 4 : 3, 0, 4);
    return slotFilterFromRaw(raw).value_or(SlotFilter::all);
}

double Settings::pauseUntil() const { return number(QStringLiteral("pauseUntil"), 0.0); }
bool Settings::migratedWendle() const { return boolean(QStringLiteral("migratedWendle"), false); }

const QStringList& Settings::resetKeys()
{
    static const QStringList keys = {
        QStringLiteral("showMenuBar"), QStringLiteral("enabled"), QStringLiteral("trigger"),
        QStringLiteral("perWindow"), QStringLiteral("tileSize"), QStringLiteral("showNumbers"),
        QStringLiteral("showHints"), QStringLiteral("showWindowless"), QStringLiteral("showDelay"),
        QStringLiteral("pauseUntil"), QStringLiteral("showDock"), QStringLiteral("menuCounter"),
        QStringLiteral("openAtLaunch"), QStringLiteral("appearance"), QStringLiteral("previews"),
        QStringLiteral("otherSpaces"), QStringLiteral("perAppKey"), QStringLiteral("mouse"),
        QStringLiteral("autoUpdate"), QStringLiteral("displayMode"), QStringLiteral("listTabs"),
        QStringLiteral("slot3.on"), QStringLiteral("slot3.mod"), QStringLiteral("slot3.key"),
        QStringLiteral("slot3.filter"), QStringLiteral("slot4.on"), QStringLiteral("slot4.mod"),
        QStringLiteral("slot4.key"), QStringLiteral("slot4.filter"),
    };
    return keys;
}

void Settings::resetToDefaults()
{
    for (const QString& key : resetKeys())
        m_store.remove(key);
}

} // namespace zumo
