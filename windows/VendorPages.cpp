// Product and privacy page addresses, and opening them in the default browser.
#include "windows/VendorPages.h"

#include <QDesktopServices>

namespace zumo {
namespace {

QUrl page(const QString& host, const QString& path)
{
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPath(path);
    return url;
}

} // namespace

QUrl productPage(const QString& host)
{
    return page(host, QStringLiteral("/zumo"));
}

QUrl privacyPage(const QString& host)
{
    return page(host, QStringLiteral("/privacy"));
}

QString withoutScheme(const QUrl& url)
{
    return url.toString(QUrl::RemoveScheme).mid(2);  // drops the "//" left in front of the host
}

void openInBrowser(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

} // namespace zumo
