// Work areas of screens, and opening a display that is not there.
#include <gtest/gtest.h>

#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Screens.h"

namespace zumo::x11 {
namespace {

TEST(VisibleArea, qtsAvailableGeometryWinsElseTheWorkAreaClipsTheScreen)
{
    const QRect primary(0, 0, 1440, 900), secondary(1440, 0, 1280, 1024);
    EXPECT_EQ(visibleArea(primary, QRect(0, 25, 1440, 875), QRect(0, 0, 1440, 900)), QRect(0, 25, 1440, 875));
    // _NET_WORKAREA spans every screen; each one keeps its own part.
    EXPECT_EQ(visibleArea(secondary, secondary, QRect(0, 30, 2720, 994)), QRect(1440, 30, 1280, 994));
    EXPECT_EQ(visibleArea(secondary, secondary, std::nullopt), secondary);
    EXPECT_EQ(visibleArea(secondary, secondary, QRect(0, 0, 100, 100)), secondary);  // no overlap: whole screen
}

TEST(X11ConnectionOpen, aMissingDisplayGivesASentenceNotACrash)
{
    QString error;
    EXPECT_FALSE(X11Connection::open(error, ":4711"));
    EXPECT_TRUE(error.contains(QStringLiteral("\":4711\""))) << error.toStdString();

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    EXPECT_FALSE(X11Connection::open(error));
    EXPECT_TRUE(error.contains(QStringLiteral("DISPLAY is not set"))) << error.toStdString();
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
}

} // namespace
} // namespace zumo::x11
