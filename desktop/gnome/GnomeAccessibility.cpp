// Hands most questions to the Wayland answers; frames, numbers and moves come from the Shell.
#include "desktop/gnome/GnomeAccessibility.h"

#include "desktop/gnome/ShellWindows.h"
#include "desktop/wayland/WaylandWindows.h"

namespace zumo::gnome {

GnomeAccessibility::GnomeAccessibility(wayland::WaylandWindows& windows, ShellWindows& shell)
    : m_windows(windows), m_shell(shell)
{
}

std::optional<std::uint32_t> GnomeAccessibility::known(ElementRef element) const
{
    if (element == 0 || element > 0xFFFFFFFFu || !m_shell.snapshot()->find(std::uint32_t(element)))
        return std::nullopt;
    return std::uint32_t(element);
}

std::optional<std::vector<ElementRef>> GnomeAccessibility::windows(Pid pid, double timeout)
{
    return m_windows.windows(pid, timeout);
}

void GnomeAccessibility::setTimeout(ElementRef element, double seconds)
{
    m_windows.setTimeout(element, seconds);
}

std::optional<QString> GnomeAccessibility::string(ElementRef element, const QString& attribute)
{
    return m_windows.string(element, attribute);
}

std::optional<bool> GnomeAccessibility::boolean(ElementRef element, const QString& attribute)
{
    return m_windows.boolean(element, attribute);
}

std::optional<double> GnomeAccessibility::number(ElementRef element, const QString& attribute)
{
    return m_windows.number(element, attribute);
}

std::optional<ElementRef> GnomeAccessibility::element(ElementRef element, const QString& attribute)
{
    return m_windows.element(element, attribute);
}

std::optional<std::vector<ElementRef>> GnomeAccessibility::elements(ElementRef element, const QString& attribute)
{
    return m_windows.elements(element, attribute);
}

std::optional<QRectF> GnomeAccessibility::frame(ElementRef element)
{
    const auto id = known(element);
    if (!id)
        return std::nullopt;
    // The window may have closed since known() read an earlier snapshot.
    const auto snapshot = m_shell.snapshot();
    const wayland::Toplevel* window = snapshot->find(*id);
    if (!window)
        return std::nullopt;
    const QRect frame = window->frame;
    return frame.isEmpty() ? m_windows.frame(element) : std::optional<QRectF>(QRectF(frame));
}

std::optional<std::uint32_t> GnomeAccessibility::windowNumber(ElementRef element)
{
    return known(element);
}

std::optional<ElementRef> GnomeAccessibility::windowOfNumber(std::uint32_t number)
{
    return known(number);
}

void GnomeAccessibility::setBoolean(ElementRef element, const QString& attribute, bool value)
{
    m_windows.setBoolean(element, attribute, value);
}

void GnomeAccessibility::setPosition(ElementRef element, QPointF position)
{
    if (const auto id = known(element))
        m_shell.setGeometry(*id, position, std::nullopt);
}

void GnomeAccessibility::setSize(ElementRef element, QSizeF size)
{
    if (const auto id = known(element))
        m_shell.setGeometry(*id, std::nullopt, size);
}

void GnomeAccessibility::setFrame(ElementRef element, const QRectF& frame)
{
    if (const auto id = known(element))
        m_shell.setGeometry(*id, frame.topLeft(), frame.size());
}

void GnomeAccessibility::perform(ElementRef element, const QString& action)
{
    m_windows.perform(element, action);
}

void GnomeAccessibility::setFrontmost(Pid pid, double timeout)
{
    m_windows.setFrontmost(pid, timeout);
}

} // namespace zumo::gnome
