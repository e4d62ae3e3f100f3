// The remote configuration: switches and intervals the maker can tune without a release. Each
// field has a built-in default; a fetched document replaces fields one by one, clamped.
#pragma once

#include <QJsonObject>
#include <QString>

namespace zumo {

struct RemoteConfig {
    double pingMinutes = 360;
    QString announceId;
    QString announceText;
    bool telemetryPaused = false;
    bool updateChecksPaused = false;
    bool logUploadPaused = false;
    bool updateNudgePaused = false;
    bool updatedBannerPaused = false;
    bool updatePrefetch = true;
    bool updatePrefetchAvoidMetered = true;
    double updatePrefetchDelaySec = 5;
    double updateRetryMinutes = 60;
    double updateMaxDownloadMB = 60;
    int updateNudgeAfterSwitches = 50;
    double updateNudgeEveryHours = 72;
    int updateNudgeMaxPerVersion = 3;
    double networkTimeoutSec = 10;
    double firstCheckDelaySec = 10;

    bool operator==(const RemoteConfig&) const = default;
};

// Applies every present, well-formed field of doc to config, in the documented order: numbers
// clamped to their bounds (a non-finite number takes the field's fallback, integers are then
// truncated toward zero), booleans from booleans or numbers (1 or more is true), texts cut to
// 64 / 200 user-perceived characters. Missing fields and fields of another type stay as they were.
void applyRemoteConfig(RemoteConfig& config, const QJsonObject& doc);

// The process-wide configuration: defaults until the first fetch. Reads are safe from any
// thread and see either the old or the new configuration as a whole.
RemoteConfig remoteConfig();
// Main thread: replaces the configuration in one step.
void setRemoteConfig(const RemoteConfig& config);

// The three lines printed by "--remote-config-demo", each ended by a line feed.
QString remoteConfigDemoText(const RemoteConfig& config);
// A double in its shortest form that reads back exactly, always with a fractional part
// ("360.0", "0.25").
QString shortestDouble(double value);

} // namespace zumo
