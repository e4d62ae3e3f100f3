#include "update/HttpUpdateTransport.h"

#include <limits>

#include "platform/HttpClient.h"
#include "update/Manifest.h"

namespace zumo {
namespace {

TransferAnswer answerOf(const HttpResponse& response)
{
    TransferAnswer answer;
    answer.failed = !response.error.isEmpty();
    answer.error = response.error;
    answer.hasResponse = response.status > 0;
    answer.status = response.status;
    bool ok = false;
    const qint64 length = response.header("Content-Length").trimmed().toLongLong(&ok);
    answer.contentLength = ok && length >= 0 ? length : -1;
    return answer;
}

class HttpTask final : public TransferTask {
public:
    explicit HttpTask(std::shared_ptr<HttpCancel> cancel) : m_cancel(std::move(cancel)) {}
    void cancel() override { m_cancel->cancel(); }

private:
    std::shared_ptr<HttpCancel> m_cancel;
};

} // namespace

HttpUpdateTransport::HttpUpdateTransport(HttpClient& http, HttpTransportSetup setup)
    : m_http(http), m_setup(std::move(setup))
{
}

void HttpUpdateTransport::fetchLatestRelease(double timeoutSec, std::function<void(Updater::CheckResult)> done)
{
    HttpRequest request;
    request.url = m_setup.manifestUrl;
    request.headers = {{"User-Agent", m_setup.userAgent}};
    request.ignoreCache = true;
    request.idleTimeoutSec = timeoutSec;
    // The whole answer within the time-out: a server dripping the manifest cannot hold the check.
    request.deadlineSec = timeoutSec;
    request.maxBodyBytes = OneMiB;
    m_http.send(std::move(request), [done = std::move(done), host = m_setup.vendorHost](const HttpResponse& response) {
        if (!response.error.isEmpty())
            return done({std::nullopt, response.error});
        done(Updater::readManifest(response.status, response.body, host));
    });
}

void HttpUpdateTransport::probe(const TransferRequest& request, std::function<bool(const QUrl&)> allowRedirect,
                                std::function<void(TransferAnswer)> done)
{
    HttpRequest head;
    head.method = "HEAD";
    head.url = request.url;
    head.headers = {{"User-Agent", m_setup.userAgent}};
    head.idleTimeoutSec = request.timeoutSec;
    head.deadlineSec = request.timeoutSec;
    head.maxBodyBytes = 0;  // the status and headers are the answer
    head.allowRedirect = [allowRedirect = std::move(allowRedirect)](const QUrl&, const QUrl& to) {
        return allowRedirect(to);
    };
    m_http.send(std::move(head), [done = std::move(done)](const HttpResponse& response) { done(answerOf(response)); });
}

std::shared_ptr<TransferTask> HttpUpdateTransport::download(const TransferRequest& request, const QString& path,
                                                            std::shared_ptr<TransferEvents> events)
{
    auto cancel = std::make_shared<HttpCancel>();
    if (request.avoidMetered && m_setup.metered && m_setup.metered()) {
        events->finished({false, 0, true, QStringLiteral("not downloaded on a metered network"), -1});
        return std::make_shared<HttpTask>(cancel);
    }
    HttpRequest get;
    get.url = request.url;
    get.headers = {{"User-Agent", m_setup.userAgent}};
    get.idleTimeoutSec = request.timeoutSec;
    get.deadlineSec = DownloadDeadlineSec;
    get.maxBodyBytes = std::numeric_limits<qint64>::max();  // the events hold the cap
    get.saveTo = path;
    get.cancel = cancel;
    get.progress = [events, cancel](qint64 received, qint64 total) {
        if (!events->progress(received, total))
            cancel->cancel();
    };
    get.allowRedirect = [events](const QUrl&, const QUrl& to) { return events->redirect(to); };
    m_http.send(std::move(get), [events](const HttpResponse& response) { events->finished(answerOf(response)); });
    return std::make_shared<HttpTask>(cancel);
}

} // namespace zumo
