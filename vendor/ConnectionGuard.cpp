// Deadlines and budgets per connection: see ConnectionGuard.h.
#include "vendor/ConnectionGuard.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zumo::vendor {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto WatchEvery = std::chrono::milliseconds(200);

std::string peerAddress(int socket)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = address.ss_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(address).sin6_addr)
                                                    : static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(address).sin_addr);
    return inet_ntop(address.ss_family, raw, text, sizeof text) ? text : "";
}

} // namespace

struct ConnectionGuard::Slot {
    ConnectionGuard* guard = nullptr;
    int socket = -1;      // our duplicate: shutting it down ends the connection, and the number is never reused under us
    std::string address;
    std::optional<Clock::time_point> deadline; // none while answering
    uint64_t bytes = 0;
};

namespace {

thread_local ConnectionGuard::Slot* t_slot = nullptr;

} // namespace

// A fixed pool of workers; past maxWaiting queued connections, a new one is ended at once on
// the accepting thread (its handshake starts with no slot, and is shut down).
class GuardedWorkers final : public httplib::TaskQueue {
public:
    explicit GuardedWorkers(ConnectionGuard& guard) : m_guard(guard)
    {
        for (int i = 0; i < guard.m_limits.workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~GuardedWorkers() override { shutdown(); }

    void enqueue(std::function<void()> task) override
    {
        std::unique_lock lock(m_mutex);
        if (m_tasks.size() >= m_guard.m_limits.maxWaiting) {
            lock.unlock();
            task(); // refused in its handshake: see the callback
            return;
        }
        m_tasks.push_back(std::move(task));
        m_ready.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_ready.notify_all();
        for (std::thread& thread : m_threads) {
            if (thread.joinable())
                thread.join();
        }
    }

private:
    void work()
    {
        t_slot = m_guard.addSlot();
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
                if (m_tasks.empty())
                    break;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
            m_guard.release(t_slot);
        }
    }

    ConnectionGuard& m_guard;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_threads;
    bool m_stopping = false;
};

ConnectionGuard::ConnectionGuard(GuardLimits limits) : m_limits(limits), m_watch([this] { runWatch(); }) {}

ConnectionGuard::~ConnectionGuard()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stop.notify_all();
    m_watch.join();
    for (Slot& slot : m_slots)
        release(&slot);
}

httplib::TaskQueue* ConnectionGuard::newWorkers()
{
    return new GuardedWorkers(*this);
}

void ConnectionGuard::watch(SSL_CTX* context)
{
    SSL_CTX_set_info_callback(context, [](const SSL* ssl, int where, int) {
        if (!(where & SSL_CB_HANDSHAKE_START))
            return;
        int socket = SSL_get_fd(ssl);
        if (!t_slot) {
            ::shutdown(socket, SHUT_RDWR); // no worker took it: too many waiting
            return;
        }
        if (t_slot->socket < 0)
            t_slot->guard->opened(t_slot, socket);
    });
    SSL_CTX_set_msg_callback(context, [](int writing, int, int type, const void* data, size_t length, SSL*, void*) {
        // Each incoming record's header tells its length, before the record is read.
        if (writing || type != SSL3_RT_HEADER || length < 5 || !t_slot)
            return;
        auto* header = static_cast<const unsigned char*>(data);
        t_slot->guard->received(t_slot, 5 + (uint64_t(header[3]) << 8 | header[4]));
    });
}

ConnectionGuard::Slot* ConnectionGuard::addSlot()
{
    std::lock_guard lock(m_mutex);
    m_slots.emplace_back();
    m_slots.back().guard = this;
    return &m_slots.back();
}

void ConnectionGuard::opened(Slot* slot, int socket)
{
    std::string address = peerAddress(socket);
    std::lock_guard lock(m_mutex);
    int same = 0;
    for (const Slot& other : m_slots)
        same += other.socket >= 0 && other.address == address;
    slot->socket = dup(socket);
    slot->address = address;
    slot->deadline = Clock::now() + m_limits.requestDeadline;
    slot->bytes = 0;
    if (m_limits.connectionsPerAddress && same >= m_limits.connectionsPerAddress)
        ::shutdown(socket, SHUT_RDWR);
}

void ConnectionGuard::received(Slot* slot, uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    slot->bytes += bytes;
    if (slot->bytes > m_limits.requestBytes && slot->socket >= 0)
        ::shutdown(slot->socket, SHUT_RDWR);
}

void ConnectionGuard::release(Slot* slot)
{
    std::lock_guard lock(m_mutex);
    if (slot->socket >= 0)
        close(slot->socket);
    slot->socket = -1;
    slot->address.clear();
    slot->deadline.reset();
}

void ConnectionGuard::answering()
{
    if (!t_slot)
        return;
    std::lock_guard lock(t_slot->guard->m_mutex);
    t_slot->deadline.reset();
}

void ConnectionGuard::answered()
{
    if (!t_slot)
        return;
    std::lock_guard lock(t_slot->guard->m_mutex);
    t_slot->deadline = Clock::now() + t_slot->guard->m_limits.requestDeadline;
    t_slot->bytes = 0;
}

void ConnectionGuard::progressed()
{
    if (!t_slot)
        return;
    std::lock_guard lock(t_slot->guard->m_mutex);
    t_slot->deadline = Clock::now() + t_slot->guard->m_limits.requestDeadline;
}

void ConnectionGuard::runWatch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop.wait_for(lock, WatchEvery, [&] { return m_stopping; })) {
        auto now = Clock::now();
        for (Slot& slot : m_slots) {
            if (slot.socket >= 0 && slot.deadline && now > *slot.deadline) {
                ::shutdown(slot.socket, SHUT_RDWR);
                slot.deadline.reset();
            }
        }
    }
}

} // namespace zumo::vendor
