// One request on QNetworkAccessManager: time-outs, body cap, download file, redirect hook.
#include "desktop/qt/QtHttpClient.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include "desktop/qt/HttpWait.h"
#include "platform/Log.h"

namespace zumo {
namespace {

QString secondsText(double seconds)
{
    return QString::number(seconds, 'g', 4);
}

// One exchange from start to its single completion.
class Transfer : public QObject {
public:
    Transfer(QObject* parent, HttpRequest request, HttpClient::Completion completion)
        : QObject(parent), m_request(std::move(request)), m_completion(std::move(completion))
    {
    }

    void start(QNetworkAccessManager& nam, const QSslConfiguration& tls)
    {
        if (m_request.url.scheme() != QLatin1String("https") || !m_request.url.isValid())
            return fail(QStringLiteral("refused: only https addresses are used (%1)").arg(m_request.url.toString()));
        if (!m_request.saveTo.isEmpty() && !openFile())
            return fail(QStringLiteral("cannot write %1").arg(m_request.saveTo));
        if (m_request.cancel) {
            if (m_request.cancel->cancelled())
                return fail(cancelledText());
            // Queued to this object: a call arriving after it is gone is dropped with it.
            m_request.cancel->setHook([this] {
                QMetaObject::invokeMethod(this, [this] { fail(cancelledText()); }, Qt::QueuedConnection);
            });
        }
        m_reply = nam.sendCustomRequest(networkRequest(tls), m_request.method, m_request.body);
        m_response.finalUrl = m_request.url;
        connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { onMetaData(); });
        connect(m_reply, &QNetworkReply::readyRead, this, [this] { onReadyRead(); });
        connect(m_reply, &QNetworkReply::uploadProgress, this, [this] { m_idle.start(); });
        connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& to) { onRedirect(to); });
        connect(m_reply, &QNetworkReply::finished, this, [this] { onFinished(); });
        // Recorded for the error text only: a certificate problem always ends the request.
        connect(m_reply, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
            if (!errors.isEmpty())
                m_tlsError = QStringLiteral("TLS: ") + errors.first().errorString();
        });
        m_idle.setSingleShot(true);
        m_idle.setTimerType(Qt::PreciseTimer);
        connect(&m_idle, &QTimer::timeout, this, [this] {
            fail(QStringLiteral("no data for %1 seconds").arg(secondsText(m_request.idleTimeoutSec)));
        });
        m_idle.start(httpMs(m_request.idleTimeoutSec));
        m_deadline.setSingleShot(true);
        m_deadline.setTimerType(Qt::PreciseTimer);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            fail(QStringLiteral("no complete answer within %1 seconds").arg(secondsText(m_request.deadlineSec)));
        });
        m_deadline.start(httpMs(m_request.deadlineSec));
    }

    // The caller stopped waiting: end the exchange now, so its connection is free at once
    // instead of at the request's own time-out.
    void abandon() { fail(QStringLiteral("abandoned: the caller stopped waiting")); }

private:
    QNetworkRequest networkRequest(const QSslConfiguration& tls) const
    {
        QNetworkRequest r(m_request.url);
        r.setSslConfiguration(tls);
        for (const auto& [name, value] : m_request.headers)
            r.setRawHeader(name, value);
        r.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                       m_request.ignoreCache ? QNetworkRequest::AlwaysNetwork : QNetworkRequest::PreferNetwork);
        r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        // Qt 6 follows "no less safe" redirects on its own; ours are followed only when the
        // caller's hook agrees.
        r.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       m_request.allowRedirect ? QNetworkRequest::UserVerifiedRedirectPolicy
                                               : QNetworkRequest::ManualRedirectPolicy);
        r.setMaximumRedirectsAllowed(10);
        // Closed as soon as no request uses it. Aborting a request still in its TLS handshake
        // leaves Qt's socket handshaking with a silent server, holding one of the host's six
        // connections until the cache expires it minutes later; our requests are minutes apart,
        // so keeping connections alive buys nothing.
        r.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute, 0);
        return r;
    }

    bool openFile()
    {
        const QByteArray path = QFile::encodeName(m_request.saveTo);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return false;
        }
        return true;
    }

    void onMetaData()
    {
        m_idle.start();
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid())
            return;
        m_response.status = status.toInt();
        const bool redirecting = m_request.allowRedirect && m_response.status >= 300 && m_response.status < 400
            && m_reply->hasRawHeader("Location");
        if (redirecting)
            return;
        m_response.headers = m_reply->rawHeaderPairs();
        if (m_request.maxBodyBytes == 0)
            return succeed();  // the status is all the caller wants; the body is never read
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_request.maxBodyBytes)
            fail(tooLarge());
    }

    void onReadyRead()
    {
        m_idle.start();
        if (m_response.status >= 300 && m_response.status < 400 && m_request.allowRedirect)
            return;  // the body of a redirect we follow is not the answer
        const QByteArray chunk = m_reply->readAll();
        m_response.bodyBytes += chunk.size();
        if (m_response.bodyBytes > m_request.maxBodyBytes)
            return fail(tooLarge());
        if (m_file.isOpen()) {
            if (m_file.write(chunk) != chunk.size())
                return fail(QStringLiteral("cannot write %1: %2").arg(m_request.saveTo, m_file.errorString()));
        } else {
            m_response.body += chunk;
        }
        if (m_request.progress) {
            const QVariant total = m_reply->header(QNetworkRequest::ContentLengthHeader);
            m_request.progress(m_response.bodyBytes, total.isValid() ? total.toLongLong() : -1);
        }
        if (m_request.cancel && m_request.cancel->cancelled())
            return fail(cancelledText());
    }

    void onRedirect(const QUrl& to)
    {
        const QUrl from = m_response.finalUrl;
        // The hook is asked even about a redirect refused anyway, so the caller can tell the
        // user in its own words why the transfer stopped.
        const bool allowed = m_request.allowRedirect(from, to);
        if (to.scheme() != QLatin1String("https") || !allowed)
            return fail(QStringLiteral("refused a redirect to %1").arg(to.toString()));
        m_response.finalUrl = to;
        m_response.status = 0;
        Q_EMIT m_reply->redirectAllowed();
    }

    void onFinished()
    {
        if (m_done)
            return;
        onReadyRead();
        if (m_done)
            return;
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid())
            return fail(m_tlsError.isEmpty() ? m_reply->errorString() : m_tlsError);
        m_response.status = status.toInt();
        m_response.headers = m_reply->rawHeaderPairs();
        if (m_reply->error() != QNetworkReply::NoError && m_reply->error() < QNetworkReply::ContentAccessDenied)
            return fail(m_reply->errorString());  // the connection broke during the body
        succeed();
    }

    static QString cancelledText() { return QStringLiteral("cancelled"); }

    QString tooLarge() const
    {
        return QStringLiteral("the answer is larger than %1 bytes").arg(m_request.maxBodyBytes);
    }

    void succeed()
    {
        if (m_file.isOpen() && !m_file.flush())
            return fail(QStringLiteral("cannot write %1").arg(m_request.saveTo));
        finish();
    }

    void fail(const QString& error)
    {
        if (m_done)
            return;
        m_response.error = error;
        m_response.status = 0;
        m_response.body.clear();
        if (m_file.isOpen()) {
            m_file.close();
            QFile::remove(m_request.saveTo);
        }
        finish();
    }

    void finish()
    {
        m_done = true;
        if (m_request.cancel)
            m_request.cancel->setHook({});
        m_idle.stop();
        m_deadline.stop();
        m_file.close();
        if (m_reply) {
            m_reply->disconnect(this);
            // Aborted to let go of the connection (a finished reply has nothing to abort).
            if (!m_reply->isFinished())
                m_reply->abort();
            m_reply->deleteLater();
        }
        auto completion = std::move(m_completion);
        const HttpResponse response = std::move(m_response);
        deleteLater();
        if (completion)
            completion(response);
    }

    HttpRequest m_request;
    HttpClient::Completion m_completion;
    HttpResponse m_response;
    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    QTimer m_idle;
    QTimer m_deadline;
    QString m_tlsError;
    bool m_done = false;
};

} // namespace

QtHttpClient::QtHttpClient(const QString& extraCaFile) : m_nam(std::make_unique<QNetworkAccessManager>())
{
    if (extraCaFile.isEmpty())
        return;
    m_extraCa = QSslCertificate::fromPath(extraCaFile, QSsl::Pem);
    if (m_extraCa.isEmpty())
        appLog(QStringLiteral("no certificate could be read from ZUMO_VENDOR_CA %1").arg(extraCaFile));
}

QtHttpClient::~QtHttpClient()
{
    // Transfers are children of m_context: destroyed with it, their completions never run.
    dropTransfers(m_context);
}

void QtHttpClient::send(HttpRequest request, Completion completion)
{
    startOnContext(m_context, [this, request = std::move(request), completion = std::move(completion)]() mutable {
        start(std::move(request), std::move(completion));
    });
}

QObject* QtHttpClient::start(HttpRequest request, Completion completion)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!m_extraCa.isEmpty())
        tls.addCaCertificates(m_extraCa);
    auto* transfer = new Transfer(&m_context, std::move(request), std::move(completion));
    transfer->start(*m_nam, tls);
    return transfer;
}

std::optional<HttpResponse> QtHttpClient::sendAndWait(HttpRequest request, double maxWaitSec)
{
    auto begin = [this, request = std::move(request)](Completion completion) mutable {
        return start(std::move(request), std::move(completion));
    };
    return waitForResponse(m_context, std::move(begin), [](QObject* t) { static_cast<Transfer*>(t)->abandon(); },
                           maxWaitSec);
}

} // namespace zumo
