// The real dispatcher: Qt's event loop for the main thread and timers, a thread pool for
// background work.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <unordered_map>

#include "platform/Dispatch.h"

class QTimer;

namespace zumo {

class QtDispatcher final : public Dispatcher {
public:
    QtDispatcher();
    ~QtDispatcher() override;
    void post(std::function<void()> fn) override;
    TimerId after(double seconds, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    // Dropped once finishBackground() has begun.
    void background(Quality quality, std::function<void()> fn) override;

    // At quit, before the parts background work uses go: refuses new work, drops what has not
    // started and waits for what runs, delivering meanwhile the calls it waits for on the main
    // thread (a snap reads the screens there), so the wait cannot hang. Main thread.
    void finishBackground();

private:
    QObject m_context;  // lives on the main thread; queued calls are delivered through it
    QThreadPool m_pool;
    std::atomic<bool> m_finishing{false};
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer*> m_timers;
};

} // namespace zumo
