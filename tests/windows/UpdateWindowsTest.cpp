// The update alert and the download window as a user meets them.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "windows/UpdateWindows.h"

namespace zumo {
namespace {

// Markup in server text is shown as typed; Escape picks none of the buttons. (Return takes the
// first: UpdateInstallE2e accepts the offer with it.)
TEST(UpdateWindows, alertShowsServerTextVerbatimAndEscapePicksNoButton)
{
    const QString notes = QStringLiteral("<b>bold</b> <a href=\"https://evil.example\">link</a>");
    PlainAlert alert(QStringLiteral("Zumo 2.5 is available"), notes, {"Install and Restart", "Later"});
    EXPECT_EQ(alert.informativeLabel().textFormat(), Qt::PlainText);
    EXPECT_EQ(alert.messageLabel().textFormat(), Qt::PlainText);
    EXPECT_EQ(alert.informativeLabel().text(), notes);
    QTimer::singleShot(0, &alert, [&alert] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(alert.focusWidget() ? alert.focusWidget() : &alert, &press);
    });
    EXPECT_EQ(alert.run(), -1);
}

TEST(UpdateWindows, cancelCallsBackOnceAndOnlyCancelOrTheFlowClosesTheWindow)
{
    UpdateProgressWindow window(QStringLiteral("2.5"));
    int cancels = 0;
    window.setOnCancel([&] { ++cancels; });
    window.show();
    window.setFraction(0.5);
    EXPECT_EQ(window.bar().value(), window.bar().maximum() / 2);
    window.close();  // the window manager's close does nothing
    EXPECT_TRUE(window.isVisible());
    window.findChild<QPushButton*>()->click();
    window.cancelTapped();
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(window.cancelled());
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace zumo
