// Bounds what one connection may take from the service, whatever its client does. cpp-httplib
// reads with blocking calls, one worker thread per connection, with a time-out per read only:
// a client sending a byte every few seconds, or an endless stream of header lines or body
// chunks, would hold a worker for ever. The guard gives every request (TLS handshake or the
// end of the previous answer, up to a complete request) a deadline and a byte budget, counts
// the connections of each address, and shuts down the socket of a connection past any of
// them, which ends the worker's blocked read.
//
// It learns a connection's socket and bytes from OpenSSL's callbacks on the worker thread, and
// runs the workers itself (a bounded pool), so it knows which thread serves which connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <optional>
#include <vector>

#include <openssl/ssl.h>

namespace httplib {
class TaskQueue;
}

namespace zumo::vendor {

struct GuardLimits {
    int workers = 32;
    size_t maxWaiting = 1024;                    // accepted connections waiting for a worker
    std::chrono::milliseconds requestDeadline{10000};
    uint64_t requestBytes = 1 << 20;             // TLS bytes one request may bring, headers and body
    int connectionsPerAddress = 0;               // 0: no limit
};

class ConnectionGuard {
public:
    explicit ConnectionGuard(GuardLimits limits);
    ~ConnectionGuard(); // stops the watch; the server must have stopped first
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

    // Installs the callbacks that report each connection's socket and incoming records.
    void watch(SSL_CTX* context);
    // The server's task queue: the workers. cpp-httplib owns and deletes it.
    httplib::TaskQueue* newWorkers();

    // On a worker thread. The request has arrived whole and is being answered: no deadline.
    static void answering();
    // The answer was handed over, or a piece of it written: the deadline starts again, and
    // the next request's byte budget with the first call.
    static void answered();
    static void progressed();

    struct Slot;

private:
    friend class GuardedWorkers;
    Slot* addSlot();
    void release(Slot* slot);
    void opened(Slot* slot, int socket);
    void received(Slot* slot, uint64_t bytes);
    void runWatch();

    const GuardLimits m_limits;
    std::mutex m_mutex;
    std::list<Slot> m_slots;
    bool m_stopping = false;
    std::condition_variable m_stop;
    std::thread m_watch;
};

} // namespace zumo::vendor
