// The application's side of the shell's links: the Settings window as the tray and its poll
// refresh it, and the login item as the XDG autostart entry.
#pragma once

#include "platform/LoginItem.h"
#include "shell/ShellLinks.h"

namespace zumo {

class AppWindows;

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
