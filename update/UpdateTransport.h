// What the updater needs from the network: the manifest fetch, a size probe and a download
// streamed to a file. The HTTP layer implements it; the decisions stay in the updater.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "update/Release.h"

namespace zumo {

struct TransferRequest {
    QUrl url;
    double timeoutSec = 60;
    bool avoidMetered = false;  // refuse expensive and constrained networks
};

// How a transfer ended: whether an HTTP response arrived and its status, and the transport's
// error text when it failed (time-out, TLS, refused, stopped).
struct TransferAnswer {
    bool hasResponse = false;
    int status = 0;
    bool failed = false;
    QString error;
    qint64 contentLength = -1;  // announced length; -1 when unknown
};

// Callbacks of one download, all on the transport's one thread, in order; finished() may come
// before download() has returned (a transfer refused at once). Returning false from redirect()
// or progress() stops the transfer, which then ends with finished().
class TransferEvents {
public:
    virtual ~TransferEvents() = default;
    virtual bool redirect(const QUrl& target) = 0;
    virtual bool progress(qint64 written, qint64 expected) = 0;  // expected -1 when unknown
    virtual void finished(const TransferAnswer& answer) = 0;
};

class TransferTask {
public:
    virtual ~TransferTask() = default;
    // Stops the transfer; finished() still follows. Any thread.
    virtual void cancel() = 0;
};

class UpdateTransport {
public:
    virtual ~UpdateTransport() = default;
    // GET the manifest, reloading past any cache, with the program's User-Agent; parses it with
    // Updater::readManifest, then fetches its seal (latest.json.sig) the same way, and calls done
    // exactly once, on any thread. A missing seal (404) is no failure; any other trouble is.
    virtual void fetchLatestRelease(double timeoutSec, std::function<void(Updater::CheckResult)> done) = 0;
    // HEAD request.url; redirects are asked of allowRedirect (false: the redirect response is the
    // answer). done is called exactly once, on any thread.
    virtual void probe(const TransferRequest& request, std::function<bool(const QUrl&)> allowRedirect,
                       std::function<void(TransferAnswer)> done) = 0;
    // GET request.url into a new file at path (created 0600, never through a link), streamed and
    // never held in memory. The transport keeps events alive until finished() returned.
    virtual std::shared_ptr<TransferTask> download(const TransferRequest& request, const QString& path,
                                                   std::shared_ptr<TransferEvents> events) = 0;
};

} // namespace zumo
