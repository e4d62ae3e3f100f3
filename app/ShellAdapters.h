// The application's side of the shell's links: the keyboard hook as the tray and its poll steer
// it, the Settings window as they refresh it, and the login item as the XDG autostart entry.
#pragma once

#include "platform/LoginItem.h"
#include "shell/ShellLinks.h"

namespace zumo {

class AppWindows;
class KeyboardHook;
class Tap;

// The hook is the tap's: starting and stopping go through the tap, so its shortcuts and any open
// run are handled with it.
class TapHookControl final : public HookControl {
public:
    TapHookControl(Tap& tap, KeyboardHook& hook) : m_tap(tap), m_hook(hook) {}

    bool running() const override;
    bool start() override;
    void stop() override;
    // The X11 hook never stays installed while switched off: a lost connection removes it, and
    // the next start() reconnects.
    bool disabled() const override { return false; }
    void reenable() override;

private:
    Tap& m_tap;
    KeyboardHook& m_hook;
};

class AppWindowsSettingsLink final : public SettingsWindowLink {
public:
    explicit AppWindowsSettingsLink(AppWindows& windows) : m_windows(windows) {}

    void reload() override;
    std::optional<bool> shownCapture() const override;

private:
    AppWindows& m_windows;
};

// "Launch at login" in Settings: the autostart entry exists. Removing it is the user's way out,
// which registerLoginItemOnce() respects.
class AutostartLoginItem final : public LoginItem {
public:
    explicit AutostartLoginItem(QString program) : m_program(std::move(program)) {}

    bool enabled() const override;
    bool setEnabled(bool on, QString& error) override;

private:
    QString m_program;
};

} // namespace zumo
