// In-memory window-server list for unit tests.
#include "tests/fakes/FakeWindowServer.h"

namespace zumo {

WindowRecord& FakeWindowServer::add(std::int64_t pid, std::int64_t number, QRectF bounds, bool onscreen,
                                    const QString& name)
{
    WindowRecord record;
    record.ownerPid = pid;
    record.layer = 0;
    record.number = number;
    record.bounds = bounds;
    record.onscreen = onscreen;
    record.alpha = 1.0;
    if (!name.isEmpty())
        record.name = name;
    std::lock_guard lock(m_mutex);
    m_records.push_back(record);
    return m_records.back();
}

int FakeWindowServer::listReads() const
{
    std::lock_guard lock(m_mutex);
    return m_listReads;
}

std::vector<WindowRecord> FakeWindowServer::windowList()
{
    std::lock_guard lock(m_mutex);
    ++m_listReads;
    return m_records;
}

} // namespace zumo
