// Outputs as screens.
#include "platform/wayland/WaylandScreens.h"

#include "platform/wayland/WaylandConnection.h"

namespace zumo::wayland {

WaylandScreens::WaylandScreens(WaylandConnection& connection) : m_connection(connection)
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
    return screens().empty() ? std::nullopt : std::optional<int>(0);
}

QPointF WaylandScreens::pointerLocation() const
{
    const auto all = screens();
    return all.empty() ? QPointF() : all.front().frame.center();
}

} // namespace zumo::wayland
