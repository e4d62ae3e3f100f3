// The maker's web service: one host, from which every address the program uses is built.
// The host can be changed for tests and self-hosting with ZUMO_VENDOR_HOST ("host" or
// "host:port"), and ZUMO_VENDOR_CA names a PEM file of certificates to trust besides the system's.
#pragma once

#include <QString>
#include <QUrl>

namespace zumo {

inline constexpr char DefaultVendorHost[] = "pellwick.example";

// "host" or "host:port" as the program uses it; the default when the variable is unset, or is
// not a plain host with an optional port (then the problem is logged once).
QString vendorHost();
// The path of the extra CA file; empty when none is configured.
QString vendorCaPath();

// Parses a "host[:port]" value; an empty string when it is anything more (a scheme, a path,
// user information, a bad port).
QString parseVendorHost(const QString& value);

// https://<host><path>
QUrl vendorUrl(const QString& path);
QUrl manifestUrl();      // /dl/zumo/latest.json
QUrl remoteConfigUrl();  // /api/zumo-config
QUrl eventsUrl();        // /api/t
QUrl privacyUrl();       // /privacy
QUrl productUrl();       // /zumo

// True for an https address on the vendor's host and port: the rule that keeps downloads and
// their redirects on the maker's service.
bool isVendorUrl(const QUrl& url);

// The "User-Agent" value of requests to the service: "Zumo/" + the version.
QByteArray vendorUserAgent();

} // namespace zumo
