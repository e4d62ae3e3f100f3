// Monitors as screens.
#include "desktop/gnome/GnomeScreens.h"

#include "desktop/gnome/GnomeKeyboardHook.h"
#include "desktop/gnome/ShellWindows.h"

namespace zumo::gnome {

GnomeScreens::GnomeScreens(const ShellWindows& windows, const GnomeKeyboardHook& hook)
    : m_windows(windows), m_hook(hook)
{
}

std::vector<Screen> GnomeScreens::screens() const
{
    std::vector<Screen> result;
    for (const ShellMonitor& m : m_windows.monitors())
        result.push_back({QRectF(m.frame), QRectF(m.workArea.isEmpty() ? m.frame : m.workArea)});
    return result;
}

std::optional<int> GnomeScreens::mainScreen() const
{
    const int count = int(m_windows.monitors().size());
    if (count == 0)
        return std::nullopt;
    if (m_hook.pressMonitor() >= 0 && m_hook.pressMonitor() < count)
        return m_hook.pressMonitor();
    const auto snapshot = m_windows.snapshot();
    const wayland::Toplevel* active = snapshot->active();
    if (active && active->monitor >= 0 && active->monitor < count)
        return active->monitor;
    return 0;
}

QPointF GnomeScreens::pointerLocation() const
{
    const auto all = screens();
    const std::optional<int> main = mainScreen();
    return main ? all[std::size_t(*main)].frame.center() : QPointF();
}

} // namespace zumo::gnome
