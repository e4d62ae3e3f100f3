// Images from KWin's screenshot interface: KWin answers a capture with the image's size and
// format and then writes its pixels into a pipe the caller handed over. KWin serves it only while
// it composites with OpenGL, and only to programs whose desktop file names the interface in
// X-KDE-DBUS-Restricted-Interfaces (Zumo's does).
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QVariantList>
#include <chrono>

#include "platform/WindowServer.h"

namespace zumo::wayland {

// Calls org.kde.KWin.ScreenShot2's method ("CaptureWindow", "CaptureScreen", ...) with
// arguments, then the options and the pipe. A null image when KWin refuses or fails, or the
// pixels are not all there within wait. Any thread.
QImage kwinScreenShot(const QDBusConnection& bus, const QString& method, QVariantList arguments,
                      std::chrono::milliseconds wait);

class WindowList;

// The window list as the Wayland backend keeps it, with window images from KWin.
class KWinWindowServer final : public WindowServer {
public:
    // Both must outlive this.
    KWinWindowServer(WindowServer& list, const WindowList& windows) : m_list(list), m_windows(windows) {}

    std::vector<WindowRecord> windowList() override { return m_list.windowList(); }
    QImage capture(std::uint32_t windowNumber) override;

private:
    WindowServer& m_list;
    const WindowList& m_windows;
};

} // namespace zumo::wayland
