// The one way the program talks HTTP: a request as a value in, a response as a value out.
// Every implementation verifies TLS, refuses anything but https, and ends every request by its
// idle time-out and its overall deadline, so no answer (or a server that drip-feeds) can keep
// a caller waiting for ever.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace zumo {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

inline constexpr qint64 OneMiB = 1024 * 1024;

// Lets a caller stop a request in flight from any thread: the request then fails with
// "cancelled" (its download file removed). The client installs the hook while the request runs.
class HttpCancel {
public:
    void cancel()
    {
        std::lock_guard lock(m_lock);
        m_cancelled = true;
        if (m_hook)
            m_hook();
    }
    bool cancelled() const
    {
        std::lock_guard lock(m_lock);
        return m_cancelled;
    }
    // For the client: called once cancel() is asked; cleared when the request has ended.
    void setHook(std::function<void()> hook)
    {
        std::lock_guard lock(m_lock);
        m_hook = std::move(hook);
    }

private:
    mutable std::mutex m_lock;
    bool m_cancelled = false;
    std::function<void()> m_hook;
};

struct HttpRequest {
    QByteArray method = "GET";
    QUrl url;                       // https only; anything else fails without a connection
    HttpHeaders headers;
    QByteArray body;                // sent as is (none when empty)
    bool ignoreCache = false;       // reload from the server, never from a local cache
    double idleTimeoutSec = 10;     // no byte moving for this long ends the request
    double deadlineSec = 30;        // the whole exchange ends after this long, moving or not
    qint64 maxBodyBytes = OneMiB;   // a longer body (announced or received) fails the request;
                                    // 0 reads no body at all: the status and headers end the
                                    // request (events; HEAD, whose length the caller checks)
    // Download mode: when set, the body streams into this file (created 0600, never through a
    // symbolic link, replaced) instead of memory; the file is removed when the request fails.
    QString saveTo;
    // Progress of the body: bytes so far and the announced total (-1 when unknown). Called on
    // the main thread.
    std::function<void(qint64 received, qint64 total)> progress;
    // Asked for every redirect; an empty hook follows none (the 3xx answer is the response).
    // A redirect away from https is refused whatever the hook says.
    std::function<bool(const QUrl& from, const QUrl& to)> allowRedirect;
    std::shared_ptr<HttpCancel> cancel;  // optional: stops the request from outside
};

struct HttpResponse {
    int status = 0;        // the HTTP status; 0 when no answer arrived
    HttpHeaders headers;
    QByteArray body;       // empty in download mode and when the body was not read
    QUrl finalUrl;         // where the answer came from, after allowed redirects
    qint64 bodyBytes = 0;  // bytes of body received (also in download mode)
    QString error;         // why the exchange failed; empty when an answer arrived whole

    bool answered() const { return error.isEmpty() && status > 0; }
    // The value of a header, compared without regard to case; empty when absent.
    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return {};
    }
};

class HttpClient {
public:
    using Completion = std::function<void(const HttpResponse&)>;
    virtual ~HttpClient() = default;

    // Starts the request. Safe from any thread; completion runs exactly once, on the main
    // thread, whatever happens (failures come back as a response with an error).
    virtual void send(HttpRequest request, Completion completion) = 0;
    // Sends and waits at most maxWaitSec for the response; nothing when the wait ran out (the
    // request is then ended at once, letting go of its connection). On the main thread the wait
    // keeps the event loop turning, so the request really goes out; other threads simply block.
    virtual std::optional<HttpResponse> sendAndWait(HttpRequest request, double maxWaitSec) = 0;
};

} // namespace zumo
