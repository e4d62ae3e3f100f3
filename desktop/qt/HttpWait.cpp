// One wait for one response, on or off the main thread.
#include "desktop/qt/HttpWait.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace zumo {

int httpMs(double seconds)
{
    return int(std::lround(std::clamp(seconds, 0.0, 24.0 * 3600.0) * 1000.0));
}

void startOnContext(QObject& context, std::function<void()> start)
{
    if (QThread::currentThread() == context.thread())
        return start();
    QMetaObject::invokeMethod(&context, std::move(start), Qt::QueuedConnection);
}

void dropTransfers(QObject& context)
{
    const auto transfers = context.children();
    for (QObject* child : transfers)
        delete child;
}

std::optional<HttpResponse> waitForResponse(QObject& context, std::function<QObject*(HttpClient::Completion)> start,
                                            std::function<void(QObject*)> abandon, double maxWaitSec)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        std::optional<HttpResponse> response;
    };
    auto shared = std::make_shared<Shared>();
    const bool onMain = QThread::currentThread() == context.thread();
    QEventLoop loop;
    QPointer<QEventLoop> loopRef = &loop;
    // Set and read on the main thread only.
    auto transfer = std::make_shared<QPointer<QObject>>();
    auto begin = [transfer, start = std::move(start), shared, loopRef, onMain]() mutable {
        *transfer = start([shared, loopRef, onMain](const HttpResponse& response) {
            std::lock_guard guard(shared->lock);
            shared->response = response;
            shared->done.notify_all();
            if (onMain && loopRef)
                loopRef->quit();
        });
    };
    if (onMain) {
        begin();
        // Blocking here would starve the network stack, which lives on this thread: the request
        // would never leave. A local loop with a deadline lets it go out and still returns on time.
        if (!shared->response) {
            QTimer::singleShot(httpMs(maxWaitSec), Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
    } else {
        QMetaObject::invokeMethod(&context, std::move(begin), Qt::QueuedConnection);
        std::unique_lock guard(shared->lock);
        shared->done.wait_for(guard, std::chrono::milliseconds(httpMs(maxWaitSec)),
                              [&] { return shared->response.has_value(); });
    }
    std::optional<HttpResponse> result;
    {
        std::lock_guard guard(shared->lock);
        result = shared->response;
    }
    if (result)
        return result;
    // Queued after the start from another thread, so the transfer exists by then (unless it
    // ended on its own).
    QMetaObject::invokeMethod(
        &context,
        [transfer, abandon = std::move(abandon)] {
            if (QObject* t = transfer->data())
                abandon(t);
        },
        onMain ? Qt::DirectConnection : Qt::QueuedConnection);
    return result;
}

} // namespace zumo
