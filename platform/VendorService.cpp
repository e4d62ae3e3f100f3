// The vendor host from the environment, and the addresses built from it.
#include "platform/VendorService.h"

#include <QRegularExpression>

#include "platform/AppVersion.h"
#include "platform/Log.h"

namespace zumo {

QString parseVendorHost(const QString& value)
{
    // A host name, an IPv4 address or a bracketed IPv6 address, then an optional port.
    static const QRegularExpression shape(
        QStringLiteral(R"(^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?)(:([0-9]{1,5}))?$)"));
    const QString trimmed = value.trimmed();
    const auto match = shape.match(trimmed);
    if (!match.hasMatch())
        return {};
    if (match.hasCaptured(4)) {
        const int port = match.captured(4).toInt();
        if (port < 1 || port > 65535)
            return {};
    }
    return trimmed.toLower();
}

QString vendorHost()
{
    static const QString host = [] {
        const QString configured = qEnvironmentVariable("ZUMO_VENDOR_HOST");
        if (configured.isEmpty())
            return QString::fromLatin1(DefaultVendorHost);
        const QString parsed = parseVendorHost(configured);
        if (parsed.isEmpty()) {
            appLog(QStringLiteral("ZUMO_VENDOR_HOST is not a host with an optional port; using ")
                   + QLatin1String(DefaultVendorHost));
            return QString::fromLatin1(DefaultVendorHost);
        }
        return parsed;
    }();
    return host;
}

QString vendorCaPath()
{
    return qEnvironmentVariable("ZUMO_VENDOR_CA");
}

QUrl vendorUrl(const QString& path)
{
    return QUrl(QStringLiteral("https://") + vendorHost() + path);
}

QUrl manifestUrl() { return vendorUrl(QStringLiteral("/dl/zumo/latest.json")); }
QUrl remoteConfigUrl() { return vendorUrl(QStringLiteral("/api/zumo-config")); }
QUrl eventsUrl() { return vendorUrl(QStringLiteral("/api/t")); }
QUrl privacyUrl() { return vendorUrl(QStringLiteral("/privacy")); }
QUrl productUrl() { return vendorUrl(QStringLiteral("/zumo")); }

bool isVendorUrl(const QUrl& url)
{
    const QUrl base = vendorUrl(QStringLiteral("/"));
    return url.isValid() && url.scheme() == QLatin1String("https") && url.userInfo().isEmpty()
        && url.host().compare(base.host(), Qt::CaseInsensitive) == 0 && url.port(443) == base.port(443);
}

QByteArray vendorUserAgent()
{
    return QByteArrayLiteral("Zumo/") + runningVersion().toUtf8();
}

} // namespace zumo
