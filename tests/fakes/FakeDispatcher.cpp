#include "tests/fakes/FakeDispatcher.h"

namespace zumo {

Dispatcher::TimerId FakeDispatcher::after(double seconds, std::function<void()> fn)
{
    const TimerId id = m_nextId++;
    m_timers.emplace(id, Timer{m_now + seconds, std::move(fn)});
    m_lastDelay = seconds;
    return id;
}

void FakeDispatcher::cancel(TimerId id)
{
    m_timers.erase(id);
}

void FakeDispatcher::background(Quality quality, std::function<void()> fn)
{
    m_lastQuality = quality;
    m_background.push_back(std::move(fn));
}

int FakeDispatcher::runMain()
{
    int ran = 0;
    while (!m_main.empty()) {
        auto fn = std::move(m_main.front());
        m_main.pop_front();
        fn();
        ++ran;
    }
    return ran;
}

int FakeDispatcher::runBackground()
{
    int ran = 0;
    while (!m_background.empty()) {
        auto fn = std::move(m_background.front());
        m_background.pop_front();
        fn();
        ++ran;
    }
    return ran;
}

int FakeDispatcher::runAll()
{
    int ran = 0;
    for (;;) {
        const int step = runBackground() + runMain();
        if (step == 0)
            return ran;
        ran += step;
    }
}

void FakeDispatcher::advance(double seconds)
{
    const double end = m_now + seconds;
    for (;;) {
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due <= end && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_timers.end())
            break;
        if (m_clock)
            m_clock->advance(next->second.due - m_now);
        m_now = next->second.due;
        auto fn = std::move(next->second.fn);
        m_timers.erase(next);
        fn();
        runMain();
    }
    if (m_clock)
        m_clock->advance(end - m_now);
    m_now = end;
}

} // namespace zumo
