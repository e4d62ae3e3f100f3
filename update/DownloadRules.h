// Pure decisions of the guarded download: which addresses are allowed (also across redirects)
// and when a transfer is too large.
#pragma once

#include <QString>
#include <QUrl>
#include <QtGlobal>

namespace zumo::Updater {

// True only when the URL has a scheme and a host, the scheme is "https"
// and the host, lower-cased, equals vendorHost exactly: no subdomains, any port.
bool isAllowedUpdateURL(const QUrl& url, const QString& vendorHost);

// A redirect is followed only to an allowed address; otherwise the transfer ends with message.
struct RedirectVerdict {
    bool allowed = false;
    QString message;  // empty when allowed
};
RedirectVerdict redirectVerdict(const QUrl& target, const QString& vendorHost);

// The cap in bytes for a limit in megabytes (1 MB = 1048576 bytes).
double capBytes(double megabytes);
// During a transfer: stop when more than cap bytes were written, or when the announced total is
// known (at least 1) and above cap. An unknown total (negative) alone is no reason to stop.
bool exceedsCap(qint64 written, qint64 expected, double cap);
// The size probe: an announced length is acceptable when it is at least 1 and at most cap.
bool acceptableAnnouncedSize(qint64 length, double cap);

} // namespace zumo::Updater
