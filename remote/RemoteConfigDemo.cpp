// The text of "--remote-config-demo": the values as they stand, in three fixed lines.
#include <charconv>
#include <cmath>

#include "remote/RemoteConfig.h"

namespace zumo {
namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QString shortestDouble(double value)
{
    char buffer[400];
    // Fixed notation: the shortest digits that read back exactly, never an exponent.
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

QString remoteConfigDemoText(const RemoteConfig& c)
{
    const QString d = QStringLiteral(" %1=%2");
    QString text = QStringLiteral("pingMinutes=") + shortestDouble(c.pingMinutes) + QStringLiteral(" announceId=\"")
        + c.announceId + QStringLiteral("\" announceText=\"") + c.announceText + QStringLiteral("\"\n");
    text += QStringLiteral("logUploadPaused=") + boolText(c.logUploadPaused)
        + d.arg(QStringLiteral("updateNudgePaused"), boolText(c.updateNudgePaused))
        + d.arg(QStringLiteral("updatedBannerPaused"), boolText(c.updatedBannerPaused))
        + d.arg(QStringLiteral("updatePrefetchAvoidMetered"), boolText(c.updatePrefetchAvoidMetered))
        + d.arg(QStringLiteral("updatePrefetchDelaySec"), shortestDouble(c.updatePrefetchDelaySec))
        + d.arg(QStringLiteral("updateRetryMinutes"), shortestDouble(c.updateRetryMinutes))
        + d.arg(QStringLiteral("updateNudgeMaxPerVersion"), QString::number(c.updateNudgeMaxPerVersion))
        + QLatin1Char('\n');
    text += QStringLiteral("telemetryPaused=") + boolText(c.telemetryPaused)
        + d.arg(QStringLiteral("updateChecksPaused"), boolText(c.updateChecksPaused))
        + d.arg(QStringLiteral("updatePrefetch"), boolText(c.updatePrefetch))
        + d.arg(QStringLiteral("updateMaxDownloadMB"), shortestDouble(c.updateMaxDownloadMB))
        + d.arg(QStringLiteral("updateNudgeAfterSwitches"), QString::number(c.updateNudgeAfterSwitches))
        + d.arg(QStringLiteral("updateNudgeEveryHours"), shortestDouble(c.updateNudgeEveryHours))
        + d.arg(QStringLiteral("networkTimeoutSec"), shortestDouble(c.networkTimeoutSec))
        + d.arg(QStringLiteral("firstCheckDelaySec"), shortestDouble(c.firstCheckDelaySec)) + QLatin1Char('\n');
    return text;
}

} // namespace zumo
