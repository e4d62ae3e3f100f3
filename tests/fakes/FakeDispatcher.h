// A dispatcher that runs nothing until the test says so, so every interleaving of main-thread
// work, background work and timers can be written down in order. Single-threaded.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <utility>

#include "platform/Dispatch.h"
#include "tests/fakes/FakeClock.h"

namespace zumo {

class FakeDispatcher final : public Dispatcher {
public:
    explicit FakeDispatcher(FakeClock* clock = nullptr) : m_clock(clock) {}

    void post(std::function<void()> fn) override { m_main.push_back(std::move(fn)); }
    TimerId after(double seconds, std::function<void()> fn) override
    {
        m_timers.emplace(m_nextId, Timer{m_now + seconds, std::move(fn)});
        m_lastDelay = seconds;
        return m_nextId++;
    }
    void cancel(TimerId id) override { m_timers.erase(id); }
    void background(Quality, std::function<void()> fn) override { m_background.push_back(std::move(fn)); }

    // Runs main-thread work queued so far and what it queues in turn; returns how many ran.
    int runMain() { return run(m_main); }
    // Runs queued background work (and what it queues in turn) without touching the main queue.
    int runBackground() { return run(m_background); }
    // Runs background and main work until both queues are empty (timers are not fired).
    void runAll()
    {
        while (runBackground() + runMain() > 0) {
        }
    }
    // Moves time on (the clock too, when one was given) and fires the timers that fall due,
    // in time order, each followed by the main-thread work it posted.
    void advance(double seconds)
    {
        const double end = m_now + seconds;
        for (;;) {
            auto next = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
                if (it->second.due <= end && (next == m_timers.end() || it->second.due < next->second.due))
                    next = it;
            if (next == m_timers.end())
                break;
            moveClockTo(next->second.due);
            auto fn = std::move(next->second.fn);
            m_timers.erase(next);
            fn();
            runMain();
        }
        moveClockTo(end);
    }

    std::size_t pendingBackground() const { return m_background.size(); }
    std::size_t pendingTimers() const { return m_timers.size(); }
    // The delay the newest pending timer was set with; -1 when none is pending.
    double lastTimerDelay() const { return m_lastDelay; }

private:
    static int run(std::deque<std::function<void()>>& queue)
    {
        int ran = 0;
        for (; !queue.empty(); ++ran) {
            auto fn = std::move(queue.front());
            queue.pop_front();
            fn();
        }
        return ran;
    }
    void moveClockTo(double t)
    {
        if (m_clock)
            m_clock->advance(t - m_now);
        m_now = t;
    }
    struct Timer {
        double due;
        std::function<void()> fn;
    };
    FakeClock* m_clock;
    double m_now = 0;
    TimerId m_nextId = 1;
    double m_lastDelay = -1;
    std::deque<std::function<void()>> m_main;
    std::deque<std::function<void()>> m_background;
    std::map<TimerId, Timer> m_timers;
};

} // namespace zumo
