// A capture is one D-Bus round trip with the PNG the extension made.
#include "desktop/gnome/GnomeWindowServer.h"

#include "desktop/gnome/ShellBridge.h"

namespace zumo::gnome {

QImage GnomeWindowServer::capture(std::uint32_t windowNumber)
{
    const QByteArray png = m_bridge.capture(windowNumber);
    return png.isEmpty() ? QImage() : QImage::fromData(png, "PNG");
}

} // namespace zumo::gnome
