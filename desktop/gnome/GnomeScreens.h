// The displays on GNOME Shell (its monitors, as the extension reports them).
#pragma once

#include "platform/Permissions.h"
#include "platform/Screens.h"

namespace zumo::gnome {

class GnomeKeyboardHook;
class ShellWindows;

class GnomeScreens final : public Screens {
public:
    // Both must outlive the screens. Main thread.
    GnomeScreens(const ShellWindows& windows, const GnomeKeyboardHook& hook);
    std::vector<Screen> screens() const override;
    // The monitor the pointer was on at the last press of the shortcut (where the extension
    // shows the panel), else the active window's, else the first.
    std::optional<int> mainScreen() const override;
    QPointF pointerLocation() const override;

private:
    const ShellWindows& m_windows;
    const GnomeKeyboardHook& m_hook;
};

// The window list comes from the extension, which can move and resize windows (snapping) and
// hands Zumo their images (previews).
class GnomePermissions final : public Permissions {
public:
    bool accessibilityTrusted() const override { return true; }
    bool screenCaptureGranted() const override { return true; }
    bool windowsMovable() const override { return true; }
};

} // namespace zumo::gnome
