// The real zumo beside other programs: quick repeated switches, a shortcut held by another
// client, titles in legacy encodings and windows that claim to be zumo's.
#include <gtest/gtest.h>

#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

class RobustE2e : public SwitcherE2e {
  protected:
    // True once the window manager has handled every request sent to it before this call and
    // the focus changes those caused: it answers two _NET_REQUEST_FRAME_EXTENTS in turn.
    bool windowManagerCaughtUp()
    {
        xcb_connection_t* c = x->connection();
        if (!m_probe) {
            m_probe = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, m_probe, x->root(), 0, 0, 10, 10, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        }
        for (int round = 0; round < 2; ++round) {
            xcb_delete_property(c, m_probe, x->atom("_NET_FRAME_EXTENTS"));
            x->rootMessage(m_probe, "_NET_REQUEST_FRAME_EXTENTS", {});
            if (!waitUntil([&] { return x->cardinal(m_probe, "_NET_FRAME_EXTENTS").has_value(); }))
                return false;
        }
        return true;
    }

    bool makeActive(xcb_window_t window)
    {
        x->activate(window);
        return waitUntil([&] { return x->activeWindow() == window; }) && zumo.sync();
    }

    // Two Alt+Tabs back to back, the second sent before the window manager answered the first;
    // how many of `pairs` came back to `start`.
    int pairsReturning(xcb_window_t start, int pairs)
    {
        int returned = 0;
        for (int i = 0; i < pairs; ++i) {
            tapAltTabAtOnce();
            tapAltTabAtOnce();
            if (!zumo.sync() || !windowManagerCaughtUp())
                return returned;
            if (x->activeWindow() == start)
                ++returned;
            else if (!makeActive(start))
                return returned;
        }
        return returned;
    }

    xcb_window_t m_probe = 0;
};

TEST_F(RobustE2e, backToBackAltTabPairsReturnToTheStartingWindow)
{
    // A third window, so a second Alt+Tab taken as a further Tab of the first run lands on it.
    ASSERT_NO_FATAL_FAILURE(openWindows({Charlie, Alpha, Bravo}));
    ASSERT_NO_FATAL_FAILURE(startZumo());
    EXPECT_EQ(pairsReturning(id(Bravo), 50), 50) << "two applications";

    TestClient echo;
    ASSERT_TRUE(echo.start({QStringLiteral("Echo one"), QStringLiteral("Echo two")}, QStringLiteral("Echo")))
        << echo.error().toStdString();
    for (int i : {1, 0})
        ASSERT_TRUE(makeActive(echo.window(i)));
    EXPECT_EQ(pairsReturning(echo.window(0), 50), 50) << "two windows of one application";
    stopZumo();
}

} // namespace
} // namespace zumo::e2e
