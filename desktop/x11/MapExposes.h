// Drops the Expose events a window's map brings, for windows that ask for it.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <xcb/xcb.h>

namespace zumo::x11 {

// Qt answers a MapNotify with an expose of the whole window of its own, and paints and copies
// the window to the screen for it; the server's Expose events from the same map then make Qt
// copy the whole window again. For a panel the size of the screen that second copy holds up
// the server, and with it whatever the user does next (releasing the switch's key, say).
// Those events carry the map request's sequence number: later exposes (another window moved
// away) carry a later one and still reach Qt. Only one that the server sent before it read
// the next request of ours (the first paint's, sent at once) would be taken for the map's.
class MapExposes final : public QAbstractNativeEventFilter {
public:
    void watch(std::uint32_t window) { m_windows.try_emplace(window); }
    void forget(std::uint32_t window) { m_windows.erase(window); }
    // True when event is an Expose that Qt's own expose at the map has already answered.
    bool answeredByMap(const xcb_generic_event_t& event);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The sequence number of the watched window's map, while that map's exposes may still come.
    std::unordered_map<std::uint32_t, std::optional<std::uint16_t>> m_windows;
};

} // namespace zumo::x11
