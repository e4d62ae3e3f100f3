// The X11 backend against a real X server and window manager: model, actions and captures.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace zumo::e2e {
namespace {

TEST(X11Desktop, clientWindowsOpenAndActivate)
{
    ZUMO_REQUIRE_SESSION();
    XHelper x;
    ASSERT_TRUE(x.ok());
    TestClient client;
    ASSERT_TRUE(client.start({QStringLiteral("One"), QStringLiteral("Two")})) << client.error().toStdString();
    EXPECT_EQ(client.windows()[1].title, QStringLiteral("Two"));
    x.activate(client.window(0));
    EXPECT_TRUE(waitUntil([&] { return x.activeWindow() == client.window(0); }));
    x.activate(client.window(1));
    EXPECT_TRUE(waitUntil([&] { return x.activeWindow() == client.window(1); }));
}

} // namespace
} // namespace zumo::e2e
