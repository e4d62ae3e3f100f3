// Permissions a test grants or withholds.
#pragma once

#include "platform/Permissions.h"

namespace zumo {

class FakePermissions final : public Permissions {
public:
    bool trusted = true;
    bool capture = true;
    bool movable = true;
    bool accessibilityTrusted() const override { return trusted; }
    bool screenCaptureGranted() const override { return capture; }
    bool windowsMovable() const override { return movable; }
};

} // namespace zumo
