// The displays on Wayland (the compositor's outputs) and what the session allows Zumo.
#pragma once

#include "platform/Permissions.h"
#include "platform/Screens.h"

namespace zumo::wayland {

class WaylandConnection;

class WaylandScreens final : public Screens {
public:
    // connection must outlive the screens. Main thread.
    explicit WaylandScreens(WaylandConnection& connection);
    std::vector<Screen> screens() const override;
    // The compositor does not say which output has the focus: the first one.
    std::optional<int> mainScreen() const override;
    // Nor where the pointer is: the first output's centre.
    QPointF pointerLocation() const override;

private:
    WaylandConnection& m_connection;
    Subscription m_outputs;
};

// The window list is there (the backend does not start without it); window captures and
// moves are not.
class WaylandPermissions final : public Permissions {
public:
    bool accessibilityTrusted() const override { return true; }
    bool screenCaptureGranted() const override { return false; }
    bool windowsMovable() const override { return false; }
};

} // namespace zumo::wayland
