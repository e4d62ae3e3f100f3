// The main menu's key equivalents reach the delegate from any window of Zumo's own.
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

#include "windows/MainMenu.h"

namespace zumo {
namespace {

TEST(MainMenuTest, ctrlCommaOpensSettingsCtrlQQuitsAndCtrlWClosesTheActiveWindow)
{
    MainMenuKeys keys;
    std::vector<MainMenuAction> seen;
    Subscription listening = keys.triggered.subscribe([&seen](MainMenuAction action) { seen.push_back(action); });
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(seen, (std::vector<MainMenuAction>{MainMenuAction::openSettings, MainMenuAction::quit}));

    QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace
} // namespace zumo
