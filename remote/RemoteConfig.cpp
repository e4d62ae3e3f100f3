// Applying a configuration document field by field, and the process-wide copy.
#include "remote/RemoteConfig.h"

#include <QJsonValue>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>

namespace zumo {
namespace {

struct NumberRule {
    double lo, hi, fallback;
};

// A received number clamped to its bounds, or the fallback when it is not finite; nothing
// when the field is missing or not a number.
std::optional<double> number(const QJsonObject& doc, const char* key, NumberRule rule)
{
    const QJsonValue v = doc.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d))
        return rule.fallback;
    return std::clamp(d, rule.lo, rule.hi);
}

void applyDouble(double& field, const QJsonObject& doc, const char* key, NumberRule rule)
{
    if (auto d = number(doc, key, rule))
        field = *d;
}

void applyInt(int& field, const QJsonObject& doc, const char* key, NumberRule rule)
{
    if (auto d = number(doc, key, rule))
        field = int(std::trunc(*d));
}

void applyBool(bool& field, const QJsonObject& doc, const char* key)
{
    const QJsonValue v = doc.value(QLatin1String(key));
    if (v.isBool())
        field = v.toBool();
    else if (v.isDouble())
        field = v.toDouble() >= 1;  // NaN compares false: not paused
}

// Room for the longest emoji sequences in use (a family is 11 code units), not for one
// "character" made of thousands of combining marks that every show would have to lay out.
constexpr int MaxUnitsPerCharacter = 16;

// The first `limit` grapheme clusters, so a cut never splits an emoji or an accented letter;
// also no more than MaxUnitsPerCharacter code units per allowed character, cut before the
// cluster that would pass them.
QString firstCharacters(const QString& text, int limit)
{
    const qsizetype maxUnits = qsizetype(limit) * MaxUnitsPerCharacter;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype kept = 0;
    for (qsizetype at = finder.toNextBoundary(); at != -1; at = finder.toNextBoundary()) {
        if (at > maxUnits)
            return text.left(kept);
        if (++count == limit)
            return text.left(at);
        kept = at;
    }
    return text;
}

void applyText(QString& field, const QJsonObject& doc, const char* key, int limit)
{
    const QJsonValue v = doc.value(QLatin1String(key));
    if (v.isString())
        field = firstCharacters(v.toString(), limit);
}

std::mutex g_lock;
RemoteConfig g_config;

} // namespace

void applyRemoteConfig(RemoteConfig& c, const QJsonObject& doc)
{
    applyDouble(c.pingMinutes, doc, "pingMinutes", {1, 1440, 1});
    applyText(c.announceId, doc, "announceId", 64);
    applyText(c.announceText, doc, "announceText", 200);
    applyBool(c.telemetryPaused, doc, "telemetryPaused");
    applyBool(c.updateChecksPaused, doc, "updateChecksPaused");
    applyBool(c.logUploadPaused, doc, "logUploadPaused");
    applyBool(c.updateNudgePaused, doc, "updateNudgePaused");
    applyBool(c.updatedBannerPaused, doc, "updatedBannerPaused");
    applyBool(c.updatePrefetch, doc, "updatePrefetch");
    applyBool(c.updatePrefetchAvoidMetered, doc, "updatePrefetchAvoidMetered");
    applyDouble(c.updatePrefetchDelaySec, doc, "updatePrefetchDelaySec", {0, 600, 0});
    applyDouble(c.updateRetryMinutes, doc, "updateRetryMinutes", {5, 1440, 5});
    applyDouble(c.updateMaxDownloadMB, doc, "updateMaxDownloadMB", {5, 500, 5});
    applyInt(c.updateNudgeAfterSwitches, doc, "updateNudgeAfterSwitches", {5, 1000, 5});
    applyDouble(c.updateNudgeEveryHours, doc, "updateNudgeEveryHours", {1, 720, 1});
    applyInt(c.updateNudgeMaxPerVersion, doc, "updateNudgeMaxPerVersion", {0, 20, 0});
    applyDouble(c.networkTimeoutSec, doc, "networkTimeoutSec", {3, 60, 3});
    applyDouble(c.firstCheckDelaySec, doc, "firstCheckDelaySec", {0, 600, 0});
}

RemoteConfig remoteConfig()
{
    std::lock_guard guard(g_lock);
    return g_config;
}

void setRemoteConfig(const RemoteConfig& config)
{
    std::lock_guard guard(g_lock);
    g_config = config;
}

} // namespace zumo
