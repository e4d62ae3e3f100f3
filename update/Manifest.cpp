#include "update/Manifest.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "update/DownloadRules.h"
#include "update/UpdateTexts.h"

namespace zumo::Updater {

CheckResult readManifest(int status, const QByteArray& body, const QString& vendorHost)
{
    const CheckResult unreadable{std::nullopt, Text::unreadableManifest()};
    if (status != 200 || body.isEmpty())
        return unreadable;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject())
        return unreadable;
    const QJsonObject o = doc.object();
    const QJsonValue version = o.value(QLatin1String("version"));
    const QJsonValue url = o.value(QLatin1String("url"));
    const QJsonValue sha = o.value(QLatin1String("sha256"));
    if (!version.isString() || !url.isString() || !sha.isString())
        return unreadable;
    const QUrl parsed(url.toString(), QUrl::StrictMode);
    if (!isAllowedUpdateURL(parsed, vendorHost))
        return unreadable;
    Release release{version.toString(), parsed, sha.toString().toLower(),
                    o.value(QLatin1String("notes")).toString()};
    return {release, {}};
}

} // namespace zumo::Updater
