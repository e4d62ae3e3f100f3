// The server time of the user's latest key or button event, and which time an activation the
// user caused carries.
#pragma once

#include <QAbstractNativeEventFilter>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <xcb/xcb.h>

namespace zumo::x11 {

// A key or button event: its server time and when this program read it.
struct InputStamp {
    std::uint32_t time = 0;
    std::chrono::steady_clock::time_point seen;
};

// How long after the key or click that caused it a request still counts as the user's answer
// to it: a commit follows the release of Alt at once, a command line request follows none.
inline constexpr std::chrono::milliseconds InputFreshness{1000};

// The time to stamp a request with: the newest of `stamps` read within InputFreshness of `now`
// (server time wraps, so newer is compared modulo 2^32); XCB_CURRENT_TIME (0) when none is, which
// window managers take as "now". A stale time makes marco refuse the activation: it sees a
// request older than the user's last click in the window in front.
std::uint32_t userActionTime(std::span<const std::optional<InputStamp>> stamps,
                             std::chrono::steady_clock::time_point now);

// The input stamp of a core key or button event, or of an XInput 2 one (`xinputOpcode`, 0 when
// the extension is absent); none for any other event.
std::optional<std::uint32_t> inputEventTime(const xcb_generic_event_t& event, std::uint8_t xinputOpcode);

// Notes the key and button events of Qt's own connection (a click on the panel). Main thread.
class QtInputTimes final : public QAbstractNativeEventFilter {
public:
    QtInputTimes();
    ~QtInputTimes() override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    std::optional<InputStamp> last() const { return m_last; }

private:
    std::uint8_t m_xinput = 0;
    std::optional<InputStamp> m_last;
};

} // namespace zumo::x11
