// Which time a request the user caused carries.
#include <gtest/gtest.h>

#include "desktop/x11/InputTime.h"

namespace zumo::x11 {
namespace {

using Ms = std::chrono::milliseconds;

TEST(UserActionTime, theNewestFreshInputElseCurrentTime)
{
    const auto now = std::chrono::steady_clock::time_point(Ms(1'000'000));
    const auto fresh = [&](std::uint32_t time, Ms ago = Ms(5)) { return InputStamp{time, now - ago}; };
    struct Case {
        const char* what;
        std::vector<std::optional<InputStamp>> stamps;
        std::uint32_t expected;
    } cases[] = {
        {"no input seen", {std::nullopt, std::nullopt}, XCB_CURRENT_TIME},
        {"the key just read", {fresh(7450718), std::nullopt}, 7450718},
        {"a later click beats the key", {fresh(7450718), fresh(7450900)}, 7450900},
        {"a key read long ago caused nothing now", {fresh(7450718, Ms(1500)), std::nullopt}, XCB_CURRENT_TIME},
        {"newer across the wrap of server time", {fresh(0xfffffff0u), fresh(0x10)}, 0x10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(userActionTime(c.stamps, now), c.expected) << c.what;
}

} // namespace
} // namespace zumo::x11
