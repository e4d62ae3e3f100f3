// The in-memory record of recent requests: see RequestLog.h.
#include "vendor/RequestLog.h"

#include <httplib.h>

namespace zumo::vendor {

namespace {

// What a test needs to see of a request; the log must not become a store of whatever is sent.
constexpr size_t MaxHeaders = 32;
constexpr size_t MaxHeaderBytes = 1024;

} // namespace

void RequestLog::record(const httplib::Request& request, int64_t receivedMs)
{
    RequestRecord record{receivedMs, request.method, request.path, {}, {}, request.body.size()};
    auto mark = request.target.find('?');
    if (mark != std::string::npos)
        record.query = request.target.substr(mark + 1);
    for (const auto& [name, value] : request.headers) {
        // cpp-httplib adds these to describe the peer; they were not sent by the client.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        if (record.headers.size() == MaxHeaders)
            break;
        record.headers.emplace(name.substr(0, MaxHeaderBytes), value.substr(0, MaxHeaderBytes));
    }
    std::lock_guard lock(m_mutex);
    m_records.push_back(std::move(record));
    while (m_records.size() > m_capacity)
        m_records.pop_front();
}

std::vector<RequestRecord> RequestLog::recent(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    std::vector<RequestRecord> records;
    for (const RequestRecord& record : m_records) {
        if (path.empty() || record.path == path)
            records.push_back(record);
    }
    return records;
}

void RequestLog::clear()
{
    std::lock_guard lock(m_mutex);
    m_records.clear();
}

} // namespace zumo::vendor
