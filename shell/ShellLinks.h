// The two things the tray and its poll steer that live elsewhere: the keyboard hook and the
// Settings window. The application implements both with the real parts.
#pragma once

#include <optional>

namespace zumo {

class HookControl {
public:
    virtual ~HookControl() = default;
    // The hook is installed (it may still have been switched off by the system).
    virtual bool running() const = 0;
    // Installs the hook; false when refused (the next poll tries again).
    virtual bool start() = 0;
    // Cancels an open run and removes the hook.
    virtual void stop() = 0;
    // Installed but switched off by the system (e.g. a keyboard grab taken away).
    virtual bool disabled() const = 0;
    virtual void reenable() = 0;
};

class SettingsWindowLink {
public:
    virtual ~SettingsWindowLink() = default;
    // Refreshes the Settings window from the store when it exists; nothing otherwise.
    virtual void reload() = 0;
    // Whether the window last showed screen capture as granted; nothing before it is built.
    virtual std::optional<bool> shownCapture() const = 0;
};

} // namespace zumo
