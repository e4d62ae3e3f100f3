// Group commit of posted events: see EventWriter.h.
#include "vendor/EventWriter.h"

#include <cstdio>

namespace zumo::vendor {

namespace {

// Retention deletes this many rows per step, and lets waiting events go first between steps.
constexpr int RetentionStepRows = 5000;
constexpr int64_t DayMs = 24LL * 3600 * 1000;

int64_t wallClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

EventWriter::EventWriter(EventStore& store, size_t maxQueued, WriterTiming timing)
    : m_store(store), m_maxQueued(maxQueued), m_timing(timing), m_thread([this] { run(); })
{
}

EventWriter::~EventWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

bool EventWriter::unavailable(Clock::time_point now) const
{
    return m_failing || (m_storingSince && now - *m_storingSince > m_timing.deadline);
}

EventWriter::Outcome EventWriter::submit(Event event)
{
    std::promise<bool> ticket;
    std::future<bool> stored = ticket.get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_queue.size() >= m_maxQueued)
            return Outcome::Busy;
        if (unavailable(Clock::now()))
            return Outcome::Unavailable;
        m_queue.push_back(std::move(event));
        m_tickets.push_back(std::move(ticket));
    }
    m_wake.notify_one();
    if (stored.wait_for(m_timing.deadline) != std::future_status::ready)
        return Outcome::Unavailable;
    return stored.get() ? Outcome::Stored : Outcome::Failed;
}

void EventWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Without anything to retry or delete, a day's wait: time_point::max() overflows in the wait.
        auto wakeAt = m_failing ? m_nextTry : m_timing.keepDays ? m_nextRetention : Clock::now() + std::chrono::hours(24);
        m_wake.wait_until(lock, wakeAt, [&] { return m_stopping || !m_queue.empty(); });
        if (!m_queue.empty())
            storeBatch(lock);
        else if (m_stopping)
            return; // everything handed over has been stored
        else
            upkeep(lock, Clock::now());
    }
}

void EventWriter::storeBatch(std::unique_lock<std::mutex>& lock)
{
    std::vector<Event> batch;
    std::vector<std::promise<bool>> tickets;
    batch.swap(m_queue);
    tickets.swap(m_tickets);
    m_storingSince = Clock::now();
    lock.unlock();
    const bool stored = m_store.append(batch);
    lock.lock();
    m_storingSince.reset();
    m_failing = !stored;
    m_nextTry = Clock::now() + m_timing.retryEvery;
    // Answered once the state is set: a refused submitter trying again sees the store failing.
    lock.unlock();
    for (auto& ticket : tickets)
        ticket.set_value(stored);
    lock.lock();
}

// Between batches: try a failing store again (an empty batch), or delete old events a step at
// a time while nothing waits.
void EventWriter::upkeep(std::unique_lock<std::mutex>& lock, Clock::time_point now)
{
    if (m_failing && now >= m_nextTry) {
        storeBatch(lock);
        return;
    }
    if (m_failing || !m_timing.keepDays || now < m_nextRetention)
        return;
    m_storingSince = now;
    lock.unlock();
    auto deleted = m_store.deleteOlderThan(wallClockMs() - m_timing.keepDays * DayMs, RetentionStepRows);
    lock.lock();
    m_storingSince.reset();
    if (!deleted)
        std::fprintf(stderr, "zumo-vendor: old events not deleted: %s\n", m_store.error().c_str());
    // A full step means more may be left: go on at once unless events wait.
    bool more = deleted && *deleted == RetentionStepRows;
    m_nextRetention = more ? Clock::now() : Clock::now() + m_timing.retentionEvery;
}

} // namespace zumo::vendor
