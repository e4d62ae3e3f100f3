// The displays on Wayland (the compositor's outputs) and what the session allows Zumo.
#pragma once

#include "platform/Permissions.h"
#include "platform/Screens.h"

namespace zumo::wayland {

class WindowList;
class WaylandConnection;

class WaylandScreens final : public Screens {
public:
    // Both must outlive the screens. Main thread.
    WaylandScreens(WaylandConnection& connection, const WindowList& toplevels);
    std::vector<Screen> screens() const override;
    // The compositor says neither which output has the focus nor where the pointer is: the
    // output of the active window stands for both, else the first output.
    std::optional<int> mainScreen() const override;
    QPointF pointerLocation() const override;

private:
    WaylandConnection& m_connection;
    const WindowList& m_toplevels;
    Subscription m_outputs;
};

// The window list is there (the backend does not start without it); window captures and moves
// only where the compositor does them for Zumo.
class WaylandPermissions final : public Permissions {
public:
    bool accessibilityTrusted() const override { return true; }
    bool screenCaptureGranted() const override { return captures; }
    bool windowsMovable() const override { return movable; }
    bool movable = false;
    bool captures = false;
};

} // namespace zumo::wayland
