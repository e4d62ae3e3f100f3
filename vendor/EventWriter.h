// Group commit in front of an event store: request threads hand over events and wait, one
// writer thread stores whatever has gathered in one transaction, so a disk sync is shared by
// every event that arrived while the previous one ran. The same thread deletes old events.
//
// No request waits long for a store that does not answer: a submit gives up at its deadline,
// and while the store is failing, or a batch has been stuck past the deadline, events are
// refused at once. The writer then tries the store again now and then with an empty batch.
#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "vendor/EventStore.h"

namespace zumo::vendor {

struct WriterTiming {
    std::chrono::milliseconds deadline{3000};     // longest a submit waits for its commit
    std::chrono::milliseconds retryEvery{1000};   // trying a failing store again
    int keepDays = 0;                             // 0: no retention
    std::chrono::milliseconds retentionEvery{std::chrono::hours(1)};
};

class EventWriter {
public:
    // Unavailable: not stored, and the store is failing or too slow to wait for.
    enum class Outcome { Stored, Failed, Busy, Unavailable };

    // maxQueued bounds the events waiting for the writer; past it submit() answers Busy at once
    // rather than letting a flood pile up in memory.
    EventWriter(EventStore& store, size_t maxQueued, WriterTiming timing = {});
    ~EventWriter(); // stores what is queued, then stops the writer thread
    EventWriter(const EventWriter&) = delete;
    EventWriter& operator=(const EventWriter&) = delete;

    // Blocks until the event's transaction has committed (Stored) or failed (Failed), or the
    // deadline passed (Unavailable: the event may still be stored later, but was not
    // acknowledged). Any thread.
    Outcome submit(Event event);

private:
    using Clock = std::chrono::steady_clock;
    void run();
    bool unavailable(Clock::time_point now) const;
    void storeBatch(std::unique_lock<std::mutex>& lock);
    void upkeep(std::unique_lock<std::mutex>& lock, Clock::time_point now);

    EventStore& m_store;
    const size_t m_maxQueued;
    const WriterTiming m_timing;
    std::mutex m_mutex;
    std::condition_variable m_wake;     // the writer: work arrived or stopping
    std::vector<Event> m_queue;
    // One per queued event, each waited on by its own submitter: the end of a batch wakes just
    // those threads, none of them needing the writer's lock again. Kept even when a submitter
    // has left at its deadline.
    std::vector<std::promise<bool>> m_tickets;
    std::optional<Clock::time_point> m_storingSince;
    bool m_failing = false;
    Clock::time_point m_nextTry{};
    Clock::time_point m_nextRetention{};
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace zumo::vendor
