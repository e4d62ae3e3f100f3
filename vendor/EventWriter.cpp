// Group commit of posted events: see EventWriter.h.
#include "vendor/EventWriter.h"

namespace zumo::vendor {

EventWriter::EventWriter(EventStore& store, size_t maxQueued)
    : m_store(store), m_maxQueued(maxQueued), m_thread([this] { run(); })
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

EventWriter::Outcome EventWriter::submit(Event event)
{
    Ticket ticket;
    std::unique_lock lock(m_mutex);
    if (m_stopping || m_queue.size() >= m_maxQueued)
        return Outcome::Busy;
    m_queue.push_back(std::move(event));
    m_tickets.push_back(&ticket);
    m_wake.notify_one();
    m_finished.wait(lock, [&] { return ticket.done; });
    return ticket.stored ? Outcome::Stored : Outcome::Failed;
}

void EventWriter::run()
{
    std::vector<Event> batch;
    std::vector<Ticket*> tickets;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and everything handed over has been stored
        batch.swap(m_queue);
        tickets.swap(m_tickets);
        lock.unlock();
        bool stored = m_store.append(batch);
        lock.lock();
        for (Ticket* ticket : tickets)
            *ticket = {true, stored};
        batch.clear();
        tickets.clear();
        m_finished.notify_all();
    }
}

} // namespace zumo::vendor
