// The window list as the Wayland backend keeps it, with window images from the extension: the
// Shell draws every window, and no other program may read one.
#pragma once

#include "platform/WindowServer.h"

namespace zumo::gnome {

class ShellBridge;

class GnomeWindowServer final : public WindowServer {
public:
    // Both must outlive this.
    GnomeWindowServer(WindowServer& list, const ShellBridge& bridge) : m_list(list), m_bridge(bridge) {}

    std::vector<WindowRecord> windowList() override { return m_list.windowList(); }
    QImage capture(std::uint32_t windowNumber) override;

private:
    WindowServer& m_list;
    const ShellBridge& m_bridge;
};

} // namespace zumo::gnome
