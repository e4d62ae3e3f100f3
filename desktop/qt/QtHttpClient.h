// The HTTP client on Qt's network stack: one QNetworkAccessManager on the main thread, TLS
// verified against the system's certificates plus the configured extra CA, never ignored.
#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <memory>

#include "platform/HttpClient.h"

class QNetworkAccessManager;

namespace zumo {

class QtHttpClient final : public HttpClient {
public:
    // Create on the main thread. extraCaFile: a PEM file of certificates trusted in addition to
    // the system's (an unreadable file adds none, and says so in the log).
    explicit QtHttpClient(const QString& extraCaFile = {});
    ~QtHttpClient() override;  // abandons requests in flight; their completions do not run

    void send(HttpRequest request, Completion completion) override;
    std::optional<HttpResponse> sendAndWait(HttpRequest request, double maxWaitSec) override;

private:
    QObject* start(HttpRequest request, Completion completion);  // on the main thread; the transfer

    QObject m_context;  // the main-thread object requests are posted to and owned by
    std::unique_ptr<QNetworkAccessManager> m_nam;
    QList<QSslCertificate> m_extraCa;
};

} // namespace zumo
