// A window-server list and window images held in memory; counts reads and captures.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "platform/WindowServer.h"

namespace zumo {

// Thread-safe: builds and captures may run on workers.
class FakeWindowServer final : public WindowServer {
  public:
    // An ordinary on-screen application window (layer 0, alpha 1) appended to the list. The
    // reference, for adjusting fields, is valid until the next change of the list.
    WindowRecord& add(std::int64_t pid, std::int64_t number, QRectF bounds, bool onscreen = true,
                      const QString& name = {});
    void setRecords(std::vector<WindowRecord> records);
    // The image capture() returns for a window number; others capture as a null image.
    void setImage(std::uint32_t number, QImage image);

    int listReads() const;
    std::vector<std::uint32_t> captures() const;

    std::vector<WindowRecord> windowList() override;
    QImage capture(std::uint32_t windowNumber) override;

  private:
    mutable std::mutex m_mutex;
    std::vector<WindowRecord> m_records;
    std::map<std::uint32_t, QImage> m_images;
    std::vector<std::uint32_t> m_captures;
    int m_listReads = 0;
};

} // namespace zumo
