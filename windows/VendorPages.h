// The vendor's web pages the shell links to, built from the configured vendor host.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace zumo {

// https://<host>/zumo
QUrl productPage(const QString& host);
// https://<host>/privacy
QUrl privacyPage(const QString& host);
// The address as shown in a link: the host and path without the scheme ("example.org/zumo").
QString withoutScheme(const QUrl& url);
// What a window calls to open a page in the default browser; tests record it instead.
using UrlOpener = std::function<void(const QUrl& url)>;
// The desktop's default handler (QDesktopServices::openUrl).
void openInBrowser(const QUrl& url);

} // namespace zumo
