// Group commit in front of an event store: request threads hand over events and wait, one
// writer thread stores whatever has gathered in one transaction, so a disk sync is shared by
// every event that arrived while the previous one ran.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "vendor/EventStore.h"

namespace zumo::vendor {

class EventWriter {
public:
    enum class Outcome { Stored, Failed, Busy };

    // maxQueued bounds the events waiting for the writer; past it submit() answers Busy at once
    // rather than letting a flood pile up in memory.
    EventWriter(EventStore& store, size_t maxQueued);
    ~EventWriter(); // stores what is queued, then stops the writer thread
    EventWriter(const EventWriter&) = delete;
    EventWriter& operator=(const EventWriter&) = delete;

    // Blocks until the event's transaction has committed (Stored) or failed (Failed). Any thread.
    Outcome submit(Event event);

private:
    struct Ticket {
        bool done = false;
        bool stored = false;
    };
    void run();

    EventStore& m_store;
    const size_t m_maxQueued;
    std::mutex m_mutex;
    std::condition_variable m_wake;     // the writer: work arrived or stopping
    std::condition_variable m_finished; // the submitters: a batch ended
    std::vector<Event> m_queue;
    std::vector<Ticket*> m_tickets;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace zumo::vendor
