#include "tests/fakes/FakeDispatcher.h"

namespace zumo {

int FakeDispatcher::run(std::deque<std::function<void()>>& queue)
{
    int ran = 0;
    for (; !queue.empty(); ++ran) {
        auto fn = std::move(queue.front());
        queue.pop_front();
        fn();
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
