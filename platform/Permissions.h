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
};

} // namespace zumo
