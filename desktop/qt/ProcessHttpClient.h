// The HTTP client of the running Zumo: each request runs in a short-lived child (the network
// helper, zumo-net), which talks HTTP on QtHttpClient and speaks the line protocol of HttpWire
// back. Zumo itself thereby never loads Qt's network access, its TLS backend or the
// certificate store, which stay resident once loaded; the child gives them back when it ends.
#pragma once

#include <QObject>
#include <QString>

#include "desktop/qt/HelperProgram.h"
#include "platform/HttpClient.h"

namespace zumo {

class ProcessHttpClient final : public HttpClient {
public:
    // Create on the main thread. helper: the network helper's executable (HelperProgram opens it
    // now). extraCaFile as for QtHttpClient.
    explicit ProcessHttpClient(const QString& helper, const QString& extraCaFile = {});
    ~ProcessHttpClient() override;  // ends the children in flight; their completions do not run

    void send(HttpRequest request, Completion completion) override;
    std::optional<HttpResponse> sendAndWait(HttpRequest request, double maxWaitSec) override;

private:
    QObject* start(HttpRequest request, Completion completion);  // on the main thread; the transfer

    QObject m_context;  // the main-thread object transfers are posted to and owned by
    HelperProgram m_helper;
    QString m_extraCaFile;
};

} // namespace zumo
