// The application's side of the shell's links, over the windows and the autostart entry.
#include "app/ShellAdapters.h"

#include <QFile>

#include "windows/AppWindows.h"
#include "shell/Autostart.h"

namespace zumo {

void AppWindowsSettingsLink::reload()
{
    m_windows.reloadSettings();
}

std::optional<bool> AppWindowsSettingsLink::shownCapture() const
{
    const SettingsWindow* window = m_windows.builtSettingsWindow();
    return window ? window->shownCapture() : std::nullopt;
}

bool AutostartLoginItem::enabled() const
{
    return QFile::exists(autostartPath());
}

bool AutostartLoginItem::setEnabled(bool on, QString& error)
{
    const QString path = autostartPath();
    if (on)
        return writeAutostartEntry(path, m_program, error);
    QFile entry(path);
    if (!entry.exists() || entry.remove())
        return true;
    error = QStringLiteral("Could not remove %1: %2").arg(path, entry.errorString());
    return false;
}

} // namespace zumo
