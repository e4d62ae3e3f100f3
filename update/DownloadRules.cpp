#include "update/DownloadRules.h"

#include "update/UpdateTexts.h"

namespace zumo::Updater {

bool isAllowedUpdateURL(const QUrl& url, const QString& vendorHost)
{
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return false;
    // QUrl stores the scheme lower-cased (schemes are case-insensitive), so "HTTPS" is https.
    return url.scheme() == QLatin1String("https") && url.host().toLower() == vendorHost.toLower();
}

RedirectVerdict redirectVerdict(const QUrl& target, const QString& vendorHost)
{
    if (isAllowedUpdateURL(target, vendorHost))
        return {true, {}};
    return {false, Text::redirected()};
}

double capBytes(double megabytes)
{
    return megabytes * 1048576.0;
}

bool exceedsCap(qint64 written, qint64 expected, double cap)
{
    return double(written) > cap || (expected >= 1 && double(expected) > cap);
}

bool acceptableAnnouncedSize(qint64 length, double cap)
{
    return length >= 1 && double(length) <= cap;
}

} // namespace zumo::Updater
