// Server times of the user's input, and the one an activation carries.
#include "desktop/x11/InputTime.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>

namespace zumo::x11 {

std::uint32_t userActionTime(std::span<const std::optional<InputStamp>> stamps,
                             std::chrono::steady_clock::time_point now)
{
    std::optional<std::uint32_t> newest;
    for (const std::optional<InputStamp>& stamp : stamps) {
        if (!stamp || stamp->time == XCB_CURRENT_TIME || now - stamp->seen > InputFreshness)
            continue;
        if (!newest || std::int32_t(stamp->time - *newest) > 0)
            newest = stamp->time;
    }
    return newest.value_or(XCB_CURRENT_TIME);
}

namespace {

// The head XInput 2 device events share (xcb's xinput header is not needed for it).
struct XiDeviceEventHead {
    std::uint8_t response_type;
    std::uint8_t extension;
    std::uint16_t sequence;
    std::uint32_t length;
    std::uint16_t event_type;
    std::uint16_t deviceid;
    std::uint32_t time;
};

// XI_KeyPress, XI_KeyRelease, XI_ButtonPress, XI_ButtonRelease.
bool xiInput(std::uint16_t type)
{
    return type >= 2 && type <= 5;
}

} // namespace

std::optional<std::uint32_t> inputEventTime(const xcb_generic_event_t& event, std::uint8_t xinputOpcode)
{
    switch (event.response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        // Key and button events share their layout up to the time.
        return reinterpret_cast<const xcb_key_press_event_t&>(event).time;
    case XCB_GE_GENERIC: {
        const auto& head = reinterpret_cast<const XiDeviceEventHead&>(event);
        if (!xinputOpcode || head.extension != xinputOpcode || !xiInput(head.event_type))
            return std::nullopt;
        return head.time;
    }
    default:
        return std::nullopt;
    }
}

QtInputTimes::QtInputTimes()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    static const char name[] = "XInputExtension";
    auto* reply = xcb_query_extension_reply(c, xcb_query_extension(c, sizeof name - 1, name), nullptr);
    if (reply && reply->present)
        m_xinput = reply->major_opcode;
    std::free(reply);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

QtInputTimes::~QtInputTimes()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool QtInputTimes::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    if (auto time = inputEventTime(*static_cast<const xcb_generic_event_t*>(message), m_xinput))
        m_last = InputStamp{*time, std::chrono::steady_clock::now()};
    return false;
}

} // namespace zumo::x11
