// One request in one child: the parent keeps the deadline, cancel, the download file's lifetime
// and the hooks; the child does the HTTP. Anything but a well-formed response line before the
// child ends is a failed request.
#include "desktop/qt/ProcessHttpClient.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include "desktop/qt/HelperProgram.h"
#include "desktop/qt/HttpWait.h"
#include "desktop/qt/HttpWire.h"

namespace zumo {
namespace {

class ChildTransfer : public QObject {
public:
    ChildTransfer(QObject* parent, HttpRequest request, HttpClient::Completion completion)
        : QObject(parent), m_request(std::move(request)), m_completion(std::move(completion))
    {
    }

    // Dropped with its client (at quit) while the child runs: the child's end, reported as the
    // process goes, must reach neither a member already gone nor the caller.
    ~ChildTransfer() override { stopChild(); }

    void start(const HelperProgram& helper, const QString& extraCaFile)
    {
        // Refused here too, so such a request starts no child at all.
        if (m_request.url.scheme() != QLatin1String("https") || !m_request.url.isValid())
            return fail(QStringLiteral("refused: only https addresses are used (%1)").arg(m_request.url.toString()));
        if (!helper.found())
            return fail(helper.missing());
        if (m_request.cancel) {
            if (m_request.cancel->cancelled())
                return fail(QStringLiteral("cancelled"));
            m_request.cancel->setHook([this] {
                QMetaObject::invokeMethod(this, [this] { fail(QStringLiteral("cancelled")); }, Qt::QueuedConnection);
            });
        }
        if (!m_request.saveTo.isEmpty() && !makeFile())
            return fail(QStringLiteral("cannot write %1").arg(m_request.saveTo));
        launch(helper, extraCaFile);
        m_deadline.setSingleShot(true);
        m_deadline.setTimerType(Qt::PreciseTimer);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            fail(QStringLiteral("no complete answer within %1 seconds").arg(QString::number(m_request.deadlineSec, 'g', 4)));
        });
        m_deadline.start(httpMs(m_request.deadlineSec));
    }

    void abandon() { fail(QStringLiteral("abandoned: the caller stopped waiting")); }

private:
    void launch(const HelperProgram& helper, const QString& extraCaFile)
    {
        QStringList arguments{QStringLiteral("http")};
        if (!extraCaFile.isEmpty())
            arguments << QStringLiteral("--ca") << extraCaFile;
        helper.prepare(m_child);
        m_child.setArguments(arguments);
        m_child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&m_child, &QProcess::readyReadStandardOutput, this, [this] { readLines(); });
        connect(&m_child, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
            readLines();
            fail(status == QProcess::CrashExit
                     ? QStringLiteral("the network helper died without an answer")
                     : QStringLiteral("the network helper ended without an answer (exit code %1)").arg(code));
        });
        connect(&m_child, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                fail(QStringLiteral("cannot start the network helper: %1").arg(m_child.errorString()));
        });
        m_child.start(QIODevice::ReadWrite);
        m_child.write(wire::requestLine(m_request));
    }

    // Created (0600, never through a symbolic link) before the child truncates and fills it,
    // so the file removed on failure is always this request's own.
    bool makeFile()
    {
        const QByteArray path = QFile::encodeName(m_request.saveTo);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
        m_fileMade = true;
        return true;
    }

    void readLines()
    {
        while (!m_done && m_child.canReadLine())
            take(wire::readChildLine(m_child.readLine()));
        // A line longer than any answer allowed can be is no answer.
        const qint64 longest = 2 * std::clamp<qint64>(m_request.maxBodyBytes, 0, 1024 * OneMiB) + 16 * OneMiB;
        if (!m_done && m_child.bytesAvailable() > longest)
            fail(QStringLiteral("the network helper wrote an overlong line"));
    }

    void take(const wire::ChildLine& line)
    {
        switch (line.kind) {
        case wire::ChildLine::Progress:
            if (m_request.progress)
                m_request.progress(line.received, line.total);
            if (m_request.cancel && m_request.cancel->cancelled())
                fail(QStringLiteral("cancelled"));
            return;
        case wire::ChildLine::Redirect: {
            const bool allowed = m_request.allowRedirect && m_request.allowRedirect(line.from, line.to);
            m_child.write(wire::answerLine(allowed && line.to.scheme() == QLatin1String("https")));
            return;
        }
        case wire::ChildLine::Response:
            if (!line.response.error.isEmpty())
                return fail(line.response.error);
            m_response = line.response;
            return finish();
        case wire::ChildLine::Garbage:
            return fail(QStringLiteral("the network helper wrote an unreadable line"));
        }
    }

    void fail(const QString& error)
    {
        if (m_done)
            return;
        m_response = {};
        m_response.error = error;
        m_response.finalUrl = m_request.url;
        // Ended before the file goes, so no child still writing can bring it back.
        stopChild();
        if (m_fileMade)
            QFile::remove(m_request.saveTo);
        finish();
    }

    // A child that answered is ending anyway; any other is ended now, with its connection.
    void stopChild()
    {
        m_child.disconnect(this);
        if (m_child.state() == QProcess::NotRunning)
            return;
        m_child.kill();
        m_child.waitForFinished(2000);
    }

    void finish()
    {
        m_done = true;
        if (m_request.cancel)
            m_request.cancel->setHook({});
        m_deadline.stop();
        stopChild();
        auto completion = std::move(m_completion);
        const HttpResponse response = std::move(m_response);
        deleteLater();
        if (completion)
            completion(response);
    }

    HttpRequest m_request;
    HttpClient::Completion m_completion;
    HttpResponse m_response;
    QProcess m_child;
    QTimer m_deadline;
    bool m_fileMade = false;
    bool m_done = false;
};

} // namespace

ProcessHttpClient::ProcessHttpClient(const QString& helper, const QString& extraCaFile)
    : m_helper(helper), m_extraCaFile(extraCaFile)
{
}

ProcessHttpClient::~ProcessHttpClient()
{
    // Transfers are children of m_context: destroyed with it, their completions never run.
    dropTransfers(m_context);
}

void ProcessHttpClient::send(HttpRequest request, Completion completion)
{
    startOnContext(m_context, [this, request = std::move(request), completion = std::move(completion)]() mutable {
        start(std::move(request), std::move(completion));
    });
}

QObject* ProcessHttpClient::start(HttpRequest request, Completion completion)
{
    auto* transfer = new ChildTransfer(&m_context, std::move(request), std::move(completion));
    transfer->start(m_helper, m_extraCaFile);
    return transfer;
}

std::optional<HttpResponse> ProcessHttpClient::sendAndWait(HttpRequest request, double maxWaitSec)
{
    auto begin = [this, request = std::move(request)](Completion completion) mutable {
        return start(std::move(request), std::move(completion));
    };
    return waitForResponse(
        m_context, std::move(begin), [](QObject* t) { static_cast<ChildTransfer*>(t)->abandon(); }, maxWaitSec);
}

} // namespace zumo
