#include "desktop/x11/MapExposes.h"

#include <QByteArray>

namespace zumo::x11 {

bool MapExposes::answeredByMap(const xcb_generic_event_t& event)
{
    switch (event.response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const auto& map = reinterpret_cast<const xcb_map_notify_event_t&>(event);
        // The window's own notice, not its parent's.
        if (auto it = m_windows.find(map.window); it != m_windows.end() && map.event == map.window)
            it->second = map.sequence;
        return false;
    }
    case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        auto it = m_windows.find(expose.window);
        if (it == m_windows.end() || !it->second)
            return false;
        if (*it->second == expose.sequence)
            return true;
        it->second.reset();  // past the map's exposes: the rest are the server's to ask for
        return false;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto& unmap = reinterpret_cast<const xcb_unmap_notify_event_t&>(event);
        if (auto it = m_windows.find(unmap.window); it != m_windows.end())
            it->second.reset();
        return false;
    }
    case XCB_DESTROY_NOTIFY:
        // An id Qt hands out again belongs to another window.
        forget(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window);
        return false;
    default:
        return false;
    }
}

bool MapExposes::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || m_windows.empty())
        return false;
    return answeredByMap(*static_cast<const xcb_generic_event_t*>(message));
}

} // namespace zumo::x11
