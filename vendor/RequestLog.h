// The most recent requests the service received, kept in memory so that tests can see what a
// client really sent (method, path, query, headers, body size).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
struct Request;
}

namespace zumo::vendor {

struct RequestRecord {
    int64_t receivedMs = 0;
    std::string method;
    std::string path;
    std::string query; // the raw text after '?', empty without one
    std::multimap<std::string, std::string> headers;
    uint64_t bodyBytes = 0;
};

// Any thread. Keeps the newest `capacity` records.
class RequestLog {
public:
    explicit RequestLog(size_t capacity) : m_capacity(capacity) {}
    void record(const httplib::Request& request, int64_t receivedMs);
    // Oldest first; only those for path when it is not empty.
    std::vector<RequestRecord> recent(const std::string& path) const;
    void clear();

private:
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<RequestRecord> m_records;
};

} // namespace zumo::vendor
