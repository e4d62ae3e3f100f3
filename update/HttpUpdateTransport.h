// The updater's network on the program's one HTTP client: the manifest with a 1 MiB cap and an
// overall deadline, the HEAD size probe, and downloads streamed to a private file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>

#include "update/UpdateTransport.h"

namespace zumo {

class HttpClient;

struct HttpTransportSetup {
    QUrl manifestUrl;
    QString vendorHost;    // the host alone, without a port, as isAllowedUpdateURL compares it
    QByteArray userAgent;  // "Zumo/<version>"
    // True while the network is metered; a transfer asked to avoid such networks is refused.
    std::function<bool()> metered;
};

// Callbacks come on the HTTP client's thread (the main thread).
class HttpUpdateTransport final : public UpdateTransport {
public:
    // A download that stalls or drips still ends after this long.
    static constexpr double DownloadDeadlineSec = 30 * 60;

    HttpUpdateTransport(HttpClient& http, HttpTransportSetup setup);

    void fetchLatestRelease(double timeoutSec, std::function<void(Updater::CheckResult)> done) override;
    void probe(const TransferRequest& request, std::function<bool(const QUrl&)> allowRedirect,
               std::function<void(TransferAnswer)> done) override;
    std::shared_ptr<TransferTask> download(const TransferRequest& request, const QString& path,
                                           std::shared_ptr<TransferEvents> events) override;

private:
    HttpClient& m_http;
    HttpTransportSetup m_setup;
};

} // namespace zumo
