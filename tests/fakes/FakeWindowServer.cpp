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

void FakeWindowServer::setRecords(std::vector<WindowRecord> records)
{
    std::lock_guard lock(m_mutex);
    m_records = std::move(records);
}

void FakeWindowServer::setImage(std::uint32_t number, QImage image)
{
    std::lock_guard lock(m_mutex);
    m_images[number] = std::move(image);
}

int FakeWindowServer::listReads() const
{
    std::lock_guard lock(m_mutex);
    return m_listReads;
}

std::vector<std::uint32_t> FakeWindowServer::captures() const
{
    std::lock_guard lock(m_mutex);
    return m_captures;
}

std::vector<WindowRecord> FakeWindowServer::windowList()
{
    std::lock_guard lock(m_mutex);
    ++m_listReads;
    return m_records;
}

QImage FakeWindowServer::capture(std::uint32_t windowNumber)
{
    std::lock_guard lock(m_mutex);
    m_captures.push_back(windowNumber);
    auto it = m_images.find(windowNumber);
    return it == m_images.end() ? QImage() : it->second;
}

} // namespace zumo
