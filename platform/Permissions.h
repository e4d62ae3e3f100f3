// What the system allows this program: reading other windows, capturing them.
#pragma once

namespace zumo {

class Permissions {
public:
    virtual ~Permissions() = default;
    // May read and act on other applications' windows.
    virtual bool accessibilityTrusted() const = 0;
    // May capture other windows' contents (for previews).
    virtual bool screenCaptureGranted() const = 0;
    // May move and resize other applications' windows (for snapping). Wayland gives no client
    // that right.
    virtual bool windowsMovable() const { return true; }
};

} // namespace zumo
