// Turning device facts into the profile's keys, with "?" for unreadable texts and keys left
// out where the profile says so.
#include "telemetry/DeviceProfile.h"

#include <QDir>
#include <cmath>

namespace zumo {
namespace {

QString text(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("?") : value;
}

QJsonValue battery(const std::optional<BatteryFacts>& b)
{
    if (!b)
        return QStringLiteral("none");
    return QJsonObject{{"percent", b->percent}, {"charging", b->charging}, {"onAC", b->onAC}};
}

void addBatteryHealth(QJsonObject& p, const std::optional<BatteryFacts>& b)
{
    if (!b || !b->cycles || !b->fullCapacity || !b->designCapacity || *b->designCapacity < 1)
        return;
    p["batteryCycles"] = *b->cycles;
    const qint64 percent = *b->fullCapacity * 100 / *b->designCapacity;
    p["batteryHealthPercent"] = qint64(std::min<qint64>(100, percent));
}

void addScreen(QJsonObject& p, const std::optional<MainScreenFacts>& s)
{
    if (!s) {
        p["screenPx"] = QStringLiteral("?");
        return;
    }
    p["screenPx"] = QStringLiteral("%1x%2").arg(s->widthPx).arg(s->heightPx);
    p["refreshHz"] = s->refreshHz;
    p["hdr"] = s->hdr;
    p["colorSpace"] = text(s->colorSpace);
}

void addMemory(QJsonObject& p, const DeviceFacts& f)
{
    if (!f.memFreeBytes || f.ramBytes <= 0)
        return;
    const double gib = double(*f.memFreeBytes) / 1073741824.0;
    p["memFreeGB"] = std::trunc(gib * 10) / 10;
    p["memFreePercent"] = qint64(std::llround(double(*f.memFreeBytes) / double(f.ramBytes) * 100));
}

QJsonObject environment(const DeviceFacts& f)
{
    QJsonObject p{
        {"lowPower", f.lowPower},
        {"thermal", thermalName(f.thermalState)},
        {"battery", battery(f.battery)},
        {"a11y", QJsonObject{{"reduceTransparency", false}, {"increaseContrast", false},
                             {"differentiateWithoutColor", false}, {"voiceOver", false}, {"switchControl", false}}},
        {"region", text(f.region)},
        {"metric", f.metric},
        {"clock24h", f.clock24h},
        {"languagesCount", f.languagesCount},
        {"externalDisplays", f.externalDisplays},
        {"backgroundApps", f.backgroundApps},
        {"network", QJsonObject{{"kind", f.network.kind}, {"expensive", f.network.expensive},
                                {"constrained", f.network.constrained}}},
    };
    if (f.diskBytes)
        p["diskGB"] = *f.diskBytes / 1000000000;
    if (f.diskFreeBytes)
        p["diskFreeGB"] = *f.diskFreeBytes / 1000000000;
    addScreen(p, f.mainScreen);
    addBatteryHealth(p, f.battery);
    addMemory(p, f);
    if (f.perfCores)
        p["perfCores"] = *f.perfCores;
    if (f.efficiencyCores)
        p["efficiencyCores"] = *f.efficiencyCores;
    return p;
}

} // namespace

QString thermalName(int state)
{
    if (state >= 3)
        return QStringLiteral("critical");
    if (state == 2)
        return QStringLiteral("serious");
    if (state == 1)
        return QStringLiteral("fair");
    return QStringLiteral("nominal");
}

QString installPlace(const QString& programPath, const QString& home)
{
    if (programPath.startsWith(QLatin1String("/usr/")) || programPath.startsWith(QLatin1String("/opt/")))
        return QStringLiteral("applications");
    if (!home.isEmpty() && programPath.startsWith(QDir::cleanPath(home) + QStringLiteral("/.local/")))
        return QStringLiteral("user-applications");
    if (programPath.contains(QLatin1String("/.mount_")))
        return QStringLiteral("disk-image");
    return QStringLiteral("other");
}

QJsonObject deviceProfile(const DeviceFacts& f, const QJsonObject& launchFacts)
{
    QJsonObject p{
        {"model", text(f.model)},
        {"chip", text(f.chip)},
        {"arch", text(f.arch)},
        {"rosetta", f.rosetta},
        {"cores", f.cores},
        {"ramGB", f.ramBytes / 1073741824},
        {"macos", text(f.osVersion)},
        {"locale", text(f.locale)},
        {"language", text(f.language)},
        {"timezone", text(f.timezone)},
        {"screens", f.screens},
        {"build", text(f.build)},
        {"laptop", f.laptop},
        {"keyboard", text(f.keyboard)},
        {"installPlace", text(f.installPlace)},
        {"systemDark", f.systemDark},
        {"reduceMotion", f.reduceMotion},
        {"uptimeHours", f.uptimeSec / 3600},
        {"regularAppsOpen", f.regularApps},
        {"installedDays", f.installedSec / 86400},
    };
    QJsonObject env = environment(f);
    for (auto it = launchFacts.begin(); it != launchFacts.end(); ++it)
        env.insert(it.key(), it.value());
    for (auto it = env.begin(); it != env.end(); ++it)
        p.insert(it.key(), it.value());
    return p;
}

} // namespace zumo
