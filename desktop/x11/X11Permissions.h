// What an X11 session allows: reading windows needs only an open display; capturing needs
// Composite or a working GetImage.
#pragma once

#include "platform/Permissions.h"

namespace zumo::x11 {

class X11Connection;

class X11Permissions final : public Permissions {
public:
    // Main thread; probes the capture ability once. `connection` may be null (no display).
    explicit X11Permissions(X11Connection* connection);

    bool accessibilityTrusted() const override;
    bool screenCaptureGranted() const override { return m_capture; }
    // A compositing manager is running, so translucent windows are drawn as such. One round trip.
    bool compositorRunning() const;

private:
    X11Connection* m_x;
    bool m_capture = false;
};

} // namespace zumo::x11
