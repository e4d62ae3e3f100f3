// The real dispatcher: Qt's event loop for the main thread and timers, a thread pool for
// background work.
#pragma once

#include <QObject>
#include <QThreadPool>
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
    void background(Quality quality, std::function<void()> fn) override;

private:
    QObject m_context;  // lives on the main thread; queued calls are delivered through it
    QThreadPool m_pool;
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer*> m_timers;
};

} // namespace zumo
