// Which Expose events a watched window's map has already answered.
#include <gtest/gtest.h>

#include <cstring>

#include "desktop/x11/MapExposes.h"

namespace zumo::x11 {
namespace {

constexpr std::uint32_t panel = 0x400001, other = 0x500001;

// Events arrive as 32-byte records; the typed structs are shorter.
struct Raw {
    alignas(xcb_generic_event_t) unsigned char bytes[32] = {};
    operator const xcb_generic_event_t&() const { return *reinterpret_cast<const xcb_generic_event_t*>(bytes); }
};

// An event of type and sequence with the fields fill sets, as its 32-byte record.
template <typename Event, typename Fill>
Raw raw(std::uint8_t type, std::uint16_t sequence, Fill fill)
{
    static_assert(sizeof(Event) <= sizeof(Raw::bytes));
    Event e{};
    e.response_type = type;
    e.sequence = sequence;
    fill(e);
    Raw r;
    std::memcpy(r.bytes, &e, sizeof e);
    return r;
}

Raw mapped(std::uint32_t window, std::uint16_t sequence, std::uint32_t reportedTo)
{
    return raw<xcb_map_notify_event_t>(XCB_MAP_NOTIFY, sequence, [&](auto& e) { e.event = reportedTo, e.window = window; });
}

// Sent events count the same.
Raw exposed(std::uint32_t window, std::uint16_t sequence)
{
    return raw<xcb_expose_event_t>(XCB_EXPOSE | 0x80, sequence, [&](auto& e) { e.window = window; });
}

// DestroyNotify has UnmapNotify's layout for what is read.
Raw gone(std::uint8_t type, std::uint32_t window, std::uint16_t sequence)
{
    return raw<xcb_unmap_notify_event_t>(type, sequence, [&](auto& e) { e.event = e.window = window; });
}

TEST(MapExposes, onlyTheMapsOwnExposesOfAWatchedWindowAreDropped)
{
    MapExposes filter;
    filter.watch(panel);

    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 7))) << "no map seen yet";
    EXPECT_FALSE(filter.answeredByMap(mapped(panel, 10, /*parent*/ 0x100)));
    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 10))) << "the parent's notice is not the map";

    EXPECT_FALSE(filter.answeredByMap(mapped(panel, 20, panel)));
    EXPECT_TRUE(filter.answeredByMap(exposed(panel, 20)));
    EXPECT_TRUE(filter.answeredByMap(exposed(panel, 20))) << "a map exposes in several rectangles";
    EXPECT_FALSE(filter.answeredByMap(exposed(other, 20))) << "another window";
    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 21))) << "a later expose";
    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 20))) << "once past the map, all reach Qt";

    EXPECT_FALSE(filter.answeredByMap(mapped(panel, 30, panel)));
    EXPECT_FALSE(filter.answeredByMap(gone(XCB_UNMAP_NOTIFY, panel, 31)));
    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 30))) << "unmapped before its exposes came";

    EXPECT_FALSE(filter.answeredByMap(mapped(panel, 40, panel)));
    EXPECT_FALSE(filter.answeredByMap(gone(XCB_DESTROY_NOTIFY, panel, 41)));
    EXPECT_FALSE(filter.answeredByMap(mapped(panel, 50, panel)));
    EXPECT_FALSE(filter.answeredByMap(exposed(panel, 50))) << "a destroyed window's id is no longer watched";
}

} // namespace
} // namespace zumo::x11
