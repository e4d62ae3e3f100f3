// Fuzzes applying configuration documents: every field stays within its bounds, whatever the
// body. Half the inputs are JSON text; the other half build objects with any double, including
// the infinities and NaNs a JSON parser never produces.
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>
#include <cstring>

#include "tests/fuzz/FuzzCheck.h"
#include "remote/RemoteConfig.h"

namespace {

const char* const Fields[] = {
    "pingMinutes", "announceId", "announceText", "telemetryPaused", "updateChecksPaused", "logUploadPaused",
    "updateNudgePaused", "updatedBannerPaused", "updatePrefetch", "updatePrefetchAvoidMetered",
    "updatePrefetchDelaySec", "updateRetryMinutes", "updateMaxDownloadMB", "updateNudgeAfterSwitches",
    "updateNudgeEveryHours", "updateNudgeMaxPerVersion", "networkTimeoutSec", "firstCheckDelaySec"};

QJsonObject objectOfDoubles(const uint8_t* data, size_t size)
{
    QJsonObject doc;
    while (size >= 9) {
        double value;
        std::memcpy(&value, data + 1, sizeof value);
        doc.insert(QLatin1String(Fields[data[0] % 18]), value);
        data += 9;
        size -= 9;
    }
    return doc;
}

bool within(double v, double lo, double hi)
{
    return v >= lo && v <= hi;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    QJsonObject doc;
    if (data[0] & 1) {
        doc = objectOfDoubles(data + 1, size - 1);
    } else {
        const QJsonDocument parsed = QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
        if (!parsed.isObject())
            return 0;
        doc = parsed.object();
    }
    zumo::RemoteConfig c;
    zumo::applyRemoteConfig(c, doc);
    check(within(c.pingMinutes, 1, 1440));
    check(within(c.updatePrefetchDelaySec, 0, 600));
    check(within(c.updateRetryMinutes, 5, 1440));
    check(within(c.updateMaxDownloadMB, 5, 500));
    check(within(c.updateNudgeAfterSwitches, 5, 1000));
    check(within(c.updateNudgeEveryHours, 1, 720));
    check(within(c.updateNudgeMaxPerVersion, 0, 20));
    check(within(c.networkTimeoutSec, 3, 60));
    check(within(c.firstCheckDelaySec, 0, 600));
    zumo::remoteConfigDemoText(c);
    return 0;
}
