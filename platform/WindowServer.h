// The window server's list of windows (all Spaces / desktops) and window captures.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace zumo {

// One window of the window server's list. Every field may be missing.
struct WindowRecord {
    std::optional<std::int64_t> ownerPid;
    std::optional<std::int64_t> layer;    // 0 for ordinary application windows
    std::optional<std::int64_t> number;   // the window number
    std::optional<QRectF> bounds;         // global top-left coordinates
    std::optional<bool> onscreen;         // shown on the current desktop
    std::optional<double> alpha;
    std::optional<QString> name;
};

class WindowServer {
public:
    virtual ~WindowServer() = default;
    // Front to back, without desktop elements. Safe from any thread; empty on failure.
    virtual std::vector<WindowRecord> windowList() = 0;
    // The window's own contents at nominal resolution; a null image on failure. Any thread.
    virtual QImage capture(std::uint32_t windowNumber) = 0;
};

} // namespace zumo
