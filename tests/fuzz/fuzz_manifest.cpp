// Fuzzes reading the release manifest: whatever the body, an accepted offer names an allowed
// address on the vendor host and a lower-case digest, and nothing crashes.
#include <QByteArray>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "update/DownloadRules.h"
#include "update/Manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString host = QStringLiteral("updates.example.com");
    const zumo::Updater::CheckResult result = zumo::Updater::readManifest(200, body, host);
    if (result.release) {
        check(zumo::Updater::isAllowedUpdateURL(result.release->url, host));
        check(result.release->sha256 == result.release->sha256.toLower());
    }
    return 0;
}
