// A window-server list held in memory; counts reads. Captures are null images.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/WindowServer.h"

namespace zumo {

// Thread-safe: builds may run on workers.
class FakeWindowServer final : public WindowServer {
  public:
    // An ordinary on-screen application window (layer 0, alpha 1) appended to the list. The
    // reference, for adjusting fields, is valid until the next change of the list.
    WindowRecord& add(std::int64_t pid, std::int64_t number, QRectF bounds, bool onscreen = true,
                      const QString& name = {})
    {
        const WindowRecord record{.ownerPid = pid, .layer = 0, .number = number, .bounds = bounds,
                                  .onscreen = onscreen, .alpha = 1.0,
                                  .name = name.isEmpty() ? std::nullopt : std::optional(name)};
        std::lock_guard lock(m_mutex);
        return m_records.emplace_back(record);
    }

    int listReads() const
    {
        std::lock_guard lock(m_mutex);
        return m_listReads;
    }

    std::vector<WindowRecord> windowList() override
    {
        std::lock_guard lock(m_mutex);
        ++m_listReads;
        return m_records;
    }
    QImage capture(std::uint32_t) override { return {}; }

  private:
    mutable std::mutex m_mutex;
    std::vector<WindowRecord> m_records;
    int m_listReads = 0;
};

} // namespace zumo
