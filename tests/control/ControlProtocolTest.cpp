#include <gtest/gtest.h>

#include "control/ControlProtocol.h"
#include "platform/KeyCodes.h"

using namespace zumo;

// That every request survives the round trip through its line: tests/fuzz/fuzz_control_protocol
// (a seed per verb); which row an activation picks, a window's or a numbered tab's:
// SwitcherE2e and BrowserTabsSwitchE2e, over the real socket.

TEST(ControlProtocol, windowIdsAreDecimalOrHexAndNeverZeroOrWiderThan32BitsTabNumbersCountFromOne)
{
    EXPECT_EQ(parseRequest("activate 31457284").request->window, 31457284u);
    EXPECT_EQ(parseRequest("activate 0X1E00004").request->window, 0x1e00004u);
    EXPECT_EQ(parseRequest("activate 0xffffffff").request->window, 0xffffffffu);
    EXPECT_EQ(parseRequest("activate 0x1e00004 3").request, (ControlRequest{ControlVerb::activate, 0x1e00004, 3}));
    EXPECT_EQ(parseRequest("sync\r").request, ControlRequest{ControlVerb::sync});
    for (const char* bad : {"activate 0", "activate 0x", "activate 0x100000000", "activate -5", "activate 12abc",
                            "activate", "activate  1", "activate 1 0", "activate 1 -2", "activate 1 x",
                            "activate 1 2 3", "activate 1 99999999999"})
        EXPECT_FALSE(parseRequest(bad).request) << bad;
}

TEST(ControlProtocol, aTriggerMayNameTheKeysOfOneOfTheListsShortcuts)
{
    EXPECT_EQ(parseRequest("prev Alt+GRAVE").request, (ControlRequest{ControlVerb::prev, 0, 0, {keys::Option, keys::Grave}}));
    EXPECT_EQ(requestLine(*parseRequest("next alt+ctrl+tab").request), "next ctrl+alt+tab\n");
    EXPECT_EQ(parseRequest("next").request, ControlRequest{ControlVerb::next});
    for (const char* bad : {"next grave", "next alt+q", "next shift+tab", "next alt+", "next +tab", "next alt+tab x"})
        EXPECT_FALSE(parseRequest(bad).request) << bad;
    EXPECT_TRUE(parseRequest("prev alt+q").error.startsWith(QStringLiteral("\"alt+q\" is not a shortcut")));
}

TEST(ControlProtocol, malformedRequestsAreRefusedWithASentenceThatShowsNoControlCharacters)
{
    const ParsedRequest unknown = parseRequest("rm -rf \x1b[2J");
    ASSERT_FALSE(unknown.request);
    EXPECT_TRUE(unknown.error.startsWith(QStringLiteral("unknown request \"rm -rf ?[2J\"")));
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("activate <id>")));
    EXPECT_EQ(parseRequest("list everything").error, QStringLiteral("list takes no arguments"));
    EXPECT_TRUE(parseRequest(QByteArray(200, 'x')).error.contains(QStringLiteral("…")));
    EXPECT_FALSE(parseRequest("").request);
    EXPECT_FALSE(parseRequest("SYNC").request);
}
