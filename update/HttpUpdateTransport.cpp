#include "update/HttpUpdateTransport.h"

#include <limits>

#include "platform/HttpClient.h"
#include "update/Manifest.h"
#include "update/ManifestSeal.h"
#include "update/UpdateTexts.h"

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

// A GET of a small document, reloading past any cache, whole within the time-out: a server
// dripping it cannot hold the check.
HttpRequest smallGet(const QUrl& url, const QByteArray& userAgent, double timeoutSec, qint64 maxBytes)
{
    HttpRequest request;
    request.url = url;
    request.headers = {{"User-Agent", userAgent}};
    request.ignoreCache = true;
    request.idleTimeoutSec = timeoutSec;
    request.deadlineSec = timeoutSec;
    request.maxBodyBytes = maxBytes;
    return request;
}

} // namespace

HttpUpdateTransport::HttpUpdateTransport(HttpClient& http, HttpTransportSetup setup)
    : m_http(http), m_setup(std::move(setup))
{
}

void HttpUpdateTransport::fetchLatestRelease(double timeoutSec, std::function<void(Updater::CheckResult)> done)
{
    HttpRequest request = smallGet(m_setup.manifestUrl, m_setup.userAgent, timeoutSec, OneMiB);
    HttpRequest sealRequest = smallGet(QUrl(m_setup.manifestUrl.toString() + QLatin1String(Updater::SealSuffix)),
                                       m_setup.userAgent, timeoutSec, Updater::MaxSealBytes);
    m_http.send(std::move(request), [http = &m_http, done = std::move(done), sealRequest = std::move(sealRequest),
                                     host = m_setup.vendorHost](const HttpResponse& response) mutable {
        if (!response.error.isEmpty())
            return done({std::nullopt, response.error});
        Updater::CheckResult result = Updater::readManifest(response.status, response.body, host);
        if (!result.release)
            return done(result);
        result.manifest = response.body;
        http->send(std::move(sealRequest), [done = std::move(done), result](const HttpResponse& seal) mutable {
            if (!seal.error.isEmpty())
                return done({std::nullopt, seal.error});
            if (seal.status == 200)
                result.seal = seal.body;
            else if (seal.status != 404)
                return done({std::nullopt, Updater::Text::unreadableManifest()});
            done(result);
        });
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
