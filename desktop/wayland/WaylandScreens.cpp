// Outputs as screens.
#include "desktop/wayland/WaylandScreens.h"

#include "desktop/wayland/WindowList.h"
#include "desktop/wayland/WaylandConnection.h"

namespace zumo::wayland {

WaylandScreens::WaylandScreens(WaylandConnection& connection, const WindowList& toplevels)
    : m_connection(connection), m_toplevels(toplevels)
{
    m_outputs = connection.outputsChanged.subscribe([this] { changed.notify(); });
}

std::vector<Screen> WaylandScreens::screens() const
{
    std::vector<Screen> result;
    for (const Output& o : m_connection.outputs())
        if (!o.frame.isEmpty())
            result.push_back({QRectF(o.frame), QRectF(o.frame)});
    return result;
}

std::optional<int> WaylandScreens::mainScreen() const
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* active = snapshot->active();
    int index = 0;
    for (const Output& o : m_connection.outputs()) {
        if (o.frame.isEmpty())
            continue;
        if (active && o.output == active->output)
            return index;
        ++index;
    }
    return index > 0 ? std::optional<int>(0) : std::nullopt;
}

QPointF WaylandScreens::pointerLocation() const
{
    const auto all = screens();
    const std::optional<int> main = mainScreen();
    return main ? all[std::size_t(*main)].frame.center() : QPointF();
}

} // namespace zumo::wayland
