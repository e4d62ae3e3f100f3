// The window-server list of an X11 session (from the window model) and window captures.
#pragma once

#include <QByteArray>
#include <mutex>
#include <xcb/xcb.h>

#include "platform/WindowServer.h"

namespace zumo::x11 {

class X11WindowModel;
struct DesktopSnapshot;

// Records of every client on every desktop, front to back: layer 0 for normal and dialog windows
// (1 for the rest), on-screen when on the current desktop (or all desktops, or sticky) and not
// minimised, alpha 1, the title as name, the outer frame as bounds.
std::vector<WindowRecord> windowRecords(const DesktopSnapshot& snapshot);

// A ZPixmap of `depth` bits in 32-bit little-endian pixels as an image (RGB32 for depth 24,
// premultiplied ARGB32 for depth 32); null for any other layout or a short buffer.
QImage imageFromZPixmap(const std::uint8_t* data, std::size_t length, int width, int height, int depth,
                        int bitsPerPixel, bool lsbFirst);

class X11WindowServer final : public WindowServer {
public:
    // Captures use a connection of their own to `display`, opened on first use, so a worker
    // waiting for pixels never reads the main connection's events.
    X11WindowServer(X11WindowModel& model, QByteArray display);
    ~X11WindowServer() override;
    X11WindowServer(const X11WindowServer&) = delete;
    X11WindowServer& operator=(const X11WindowServer&) = delete;

    std::vector<WindowRecord> windowList() override;
    // The client area's pixels. Null when the window is gone, unmapped (minimised or on another
    // desktop) or in a pixel layout we do not read.
    QImage capture(std::uint32_t windowNumber) override;

private:
    bool connect();
    QImage captureLocked(xcb_window_t window);

    X11WindowModel& m_model;
    QByteArray m_display;
    std::mutex m_mutex;  // guards the capture connection
    xcb_connection_t* m_capture = nullptr;
    bool m_composite = false;
};

} // namespace zumo::x11
