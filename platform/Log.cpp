// appLog's sink, guarded so that lines from any thread reach at most one sink at a time.
#include "platform/Log.h"

#include <QStringList>
#include <mutex>
#include <shared_mutex>
#include <utility>

namespace zumo {
namespace {

std::shared_mutex g_lock;
LogSink g_sink;
QStringList g_early;  // guarded by the exclusive lock
bool g_everInstalled = false;

} // namespace

void appLog(const QString& message)
{
    {
        std::shared_lock lock(g_lock);
        if (g_sink) {
            g_sink(message);
            return;
        }
    }
    std::unique_lock lock(g_lock);
    if (g_sink) {
        g_sink(message);
        return;
    }
    // After a sink was detached (at quit) lines are dropped rather than kept for nobody.
    if (!g_everInstalled && g_early.size() < EarlyLineCap)
        g_early.append(message);
}

void installLogSink(LogSink sink)
{
    std::unique_lock lock(g_lock);
    g_sink = std::move(sink);
    if (!g_sink)
        return;
    g_everInstalled = true;
    for (const QString& line : std::exchange(g_early, {}))
        g_sink(line);
}

} // namespace zumo
