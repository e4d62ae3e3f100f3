// The event log's serial writer thread, and its place as the sink of appLog.
#include "telemetry/EventLog.h"

#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/SignalStack.h"

namespace zumo {
namespace {

std::mutex g_installedLock;
EventLog* g_installed = nullptr;  // the log appLog currently writes to

} // namespace

struct EventLog::Impl {
    QString directory;
    QString path;
    const Clock& clock;

    std::mutex mutex;
    std::condition_variable wake;     // the worker: lines queued or stopping
    std::condition_variable written;  // drain(): the worker finished a batch
    std::deque<QByteArray> queue;
    std::uint64_t queuedCount = 0;
    std::uint64_t writtenCount = 0;
    bool stopping = false;
    std::thread worker;

    Impl(QString dir, const Clock& c) : directory(std::move(dir)), clock(c)
    {
        if (!directory.isEmpty())
            path = directory + QStringLiteral("/events.log");
    }

    // Worker thread only.
    bool toldFailure = false;

    void write(const QByteArray& line)
    {
        QString why;
        if (path.isEmpty() || appendLogLine(path, line, &why) || toldFailure)
            return;
        toldFailure = true;
        std::fprintf(stderr, "zumo: cannot write the log %s (%s); Zumo keeps running, and its log lines are "
                             "lost until that path is a file Zumo can write.\n",
                     qPrintable(path), qPrintable(why));
    }

    // One batch at a time, taken under the lock and written outside it, so callers never wait
    // for the disk. Each line is still appended and checked for the trim on its own.
    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty())
                return;
            std::deque<QByteArray> batch;
            batch.swap(queue);
            lock.unlock();
            for (const QByteArray& line : batch)
                write(line);
            lock.lock();
            writtenCount += batch.size();
            written.notify_all();
        }
    }
};

EventLog::EventLog(QString directory, const Clock& clock)
    : d(std::make_unique<Impl>(std::move(directory), clock))
{
    d->worker = std::thread([impl = d.get()] {
        giveThreadSignalStack();
        impl->run();
    });
}

EventLog::~EventLog()
{
    {
        // A log destroyed while still installed would leave appLog writing into freed memory.
        std::lock_guard lock(g_installedLock);
        if (g_installed == this) {
            installLogSink({});
            g_installed = nullptr;
        }
    }
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_one();
    d->worker.join();  // the worker empties the queue before it returns
}

void EventLog::append(const QString& message)
{
    QByteArray line = formatLogLine(d->clock.now(), message);
    {
        std::lock_guard lock(d->mutex);
        d->queue.push_back(std::move(line));
        ++d->queuedCount;
    }
    d->wake.notify_one();
}

void EventLog::drain()
{
    std::unique_lock lock(d->mutex);
    const std::uint64_t target = d->queuedCount;
    d->written.wait(lock, [this, target] { return d->writtenCount >= target; });
}

QString EventLog::directory() const
{
    return d->directory;
}

QString EventLog::filePath() const
{
    return d->path;
}

void installAppLog(EventLog* log)
{
    std::lock_guard lock(g_installedLock);
    g_installed = log;
    installLogSink(log ? LogSink([log](const QString& message) { log->append(message); }) : LogSink());
}

} // namespace zumo
