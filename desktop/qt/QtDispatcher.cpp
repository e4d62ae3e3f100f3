#include "desktop/qt/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <cmath>

#include "platform/SignalStack.h"

namespace zumo {

QtDispatcher::QtDispatcher()
{
    // Builds, captures and scores are short; two workers keep a 2-core machine responsive.
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

QtDispatcher::~QtDispatcher()
{
    m_finishing = true;
    m_pool.clear();
    m_pool.waitForDone();
    for (auto& [id, timer] : m_timers)
        delete timer;
}

void QtDispatcher::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

Dispatcher::TimerId QtDispatcher::after(double seconds, std::function<void()> fn)
{
    const TimerId id = m_nextId++;
    auto* timer = new QTimer(&m_context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, &m_context, [this, id, fn = std::move(fn)] {
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            return;
        it->second->deleteLater();
        m_timers.erase(it);
        fn();
    });
    m_timers.emplace(id, timer);
    timer->start(int(std::lround(std::max(0.0, seconds) * 1000.0)));
    return id;
}

void QtDispatcher::cancel(TimerId id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

void QtDispatcher::finishBackground()
{
    m_finishing = true;
    m_pool.clear();
    while (!m_pool.waitForDone(5))
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

void QtDispatcher::background(Quality quality, std::function<void()> fn)
{
    if (m_finishing)
        return;
    int priority = 0;
    switch (quality) {
    case Quality::UserInteractive: priority = 3; break;
    case Quality::UserInitiated: priority = 2; break;
    case Quality::Default: priority = 1; break;
    case Quality::Utility: priority = 0; break;
    }
    m_pool.start(
        [fn = std::move(fn)] {
            giveThreadSignalStack();
            fn();
        },
        priority);
}

} // namespace zumo
