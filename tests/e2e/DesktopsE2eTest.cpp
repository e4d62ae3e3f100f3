// The real zumo and exactly the window chosen: same-size windows on two desktops, an application
// with every window minimised, a screen scaled twice, and SIGTERM while a snap is under way.
#include <gtest/gtest.h>

#include <QJsonObject>
#include <csignal>

#include "tests/e2e/SwitcherE2eFixture.h"

namespace zumo::e2e {
namespace {

class DesktopsE2e : public SwitcherE2e {
  protected:
    bool maximise(xcb_window_t window)
    {
        x->rootMessage(
            window, "_NET_WM_STATE",
            {1, x->atom("_NET_WM_STATE_MAXIMIZED_VERT"), x->atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 2});
        return waitUntil([&] { return x->hasState(window, "_NET_WM_STATE_MAXIMIZED_HORZ"); });
    }
};

// Twins: both maximised, so their frames are the same. The other desktop's window on top first:
// each row still names its own window; then its twin on top: that row still brings its own
// window. And an application with every window minimised: choosing one restores that one only.
TEST_F(DesktopsE2e, eachRowBringsItsOwnWindowAcrossDesktopsAndOutOfMinimisedAndOnAScreenScaledTwiceThePanelFits)
{
    TestClient trio;
    ASSERT_TRUE(trio.start({Bravo, Charlie, Delta}, QStringLiteral("Trio"))) << trio.error().toStdString();
    for (const TestClient::Window& window : trio.windows()) {
        x->rootMessage(window.id, "WM_CHANGE_STATE", {3}); // IconicState
        ASSERT_TRUE(waitUntil([&] { return x->hasState(window.id, "_NET_WM_STATE_HIDDEN"); })) << window.title.toStdString();
    }
    TestClient twins;
    ASSERT_TRUE(twins.start({Alpha, Zulu}, QStringLiteral("Twins"))) << twins.error().toStdString();
    const xcb_window_t here = twins.window(0), away = twins.window(1);
    ASSERT_TRUE(maximise(here) && maximise(away));
    ASSERT_TRUE(x->activate(away));
    x->moveToDesktop(away, 1);
    ASSERT_TRUE(waitUntil([&] { return x->desktopOf(away) == 1u; }));
    ASSERT_TRUE(waitUntil([&] { return x->frameGeometry(here) == x->frameGeometry(away); }));
    ASSERT_NO_FATAL_FAILURE(startZumo(QJsonObject{{QStringLiteral("otherSpaces"), true}}));
    EXPECT_EQ(zumo.row(Alpha).value(QStringLiteral("window")).toInteger(), here);
    EXPECT_EQ(zumo.row(Zulu).value(QStringLiteral("window")).toInteger(), away);
    for (const TestClient::Window& window : trio.windows())
        EXPECT_TRUE(zumo.row(window.title).value(QStringLiteral("minimized")).toBool()) << window.title.toStdString();

    const xcb_window_t chosen = trio.window(1);
    ASSERT_EQ(zumo.activate(Charlie), 0);
    ASSERT_TRUE(waitUntil([&] { return x->activeWindow() == chosen; })) << "active: " << activeTitle().toStdString();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(x->hasState(chosen, "_NET_WM_STATE_HIDDEN"));
    EXPECT_TRUE(x->hasState(trio.window(0), "_NET_WM_STATE_HIDDEN")) << "a window not chosen came back";
    EXPECT_TRUE(x->hasState(trio.window(2), "_NET_WM_STATE_HIDDEN")) << "a window not chosen came back";

    ASSERT_TRUE(x->activate(here));
    ASSERT_TRUE(settle());
    ASSERT_EQ(zumo.activate(Zulu), 0);
    EXPECT_TRUE(waitUntil([&] { return x->currentDesktop() == 1u; })) << "still on the first desktop";
    EXPECT_TRUE(waitUntil([&] { return x->activeWindow() == away; })) << "active: " << activeTitle().toStdString();
    stopZumo();

    // Screens are measured in X pixels and Qt places windows in logical ones: on a screen scaled
    // twice the panel is centred and fits. Then the snap key and SIGTERM wait for zumo together,
    // so the snap's worker asks the main thread for the screens just as the quit begins.
    x->setCurrentDesktop(0);
    ASSERT_TRUE(waitUntil([&] { return x->currentDesktop() == 0u; })) << "back on the first desktop";
    ASSERT_NO_FATAL_FAILURE(startZumo(ShowAtOnce, {QStringLiteral("QT_SCALE_FACTOR=2")}));

    ASSERT_TRUE(openPanel());
    const QRect panel = panels->geometry(*panels->visiblePanel()).value_or(QRect());
    const QRect screen(0, 0, 1440, 900);
    EXPECT_TRUE(screen.contains(panel))
        << panel.x() << "," << panel.y() << " " << panel.width() << "x" << panel.height();
    EXPECT_NEAR(panel.center().x(), screen.center().x(), 2);
    EXPECT_NEAR(panel.center().y(), screen.center().y(), 2);

    const pid_t pid = pid_t(zumo.process().processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ASSERT_TRUE(x->tap(XK_l));
    x->roundTrip();
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGCONT);
    stopZumo();
}

} // namespace
} // namespace zumo::e2e
