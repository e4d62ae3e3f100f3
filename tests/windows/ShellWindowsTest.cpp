// The consent and About windows and the toast, driven like a user, with the test clock.
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

#include "windows/AboutWindow.h"
#include "windows/ConsentWindow.h"
#include "windows/Toast.h"
#include "tests/shell/ShellFakes.h"

namespace zumo::test {
namespace {

QPushButton* button(QWidget& window, const QString& title)
{
    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        if (b->text() == title)
            return b;
    }
    return nullptr;
}

class ConsentTest : public ShellTest {
protected:
    std::vector<QUrl> opened;
    ConsentWindow consent{store, privacyPage("vendor.test"), [this](const QUrl& url) { opened.push_back(url); }};
    int starts = 0;
    int quits = 0;
    Subscription agreedSub = consent.agreed.subscribe([this] { ++starts; });
    Subscription quitSub = consent.quitRequested.subscribe([this] { ++quits; });

    ConsentTest() { consent.present(); }
};

TEST_F(ConsentTest, agreeRecordsConsentHidesAndStartsTheAppExactlyOnce)
{
    EXPECT_TRUE(ConsentWindow::consentNeeded(store));
    button(consent, "Agree")->click();
    EXPECT_EQ(store.value("consentVersion").toInteger(), 1);
    EXPECT_FALSE(consent.isVisible());
    consent.present();
    button(consent, "Agree")->click();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(ConsentWindow::consentNeeded(store));
}

TEST_F(ConsentTest, closingOrDisagreeingQuitsAndRecordsNothing)
{
    consent.close();
    EXPECT_EQ(quits, 1);
    consent.present();
    button(consent, "Disagree")->click();
    EXPECT_EQ(quits, 2);
    EXPECT_EQ(starts, 0);
    EXPECT_FALSE(store.contains("consentVersion"));
}

TEST_F(ShellTest, aboutCopiesThePageAndSaysCopiedForOneAndAHalfSecondsFromTheFirstPress)
{
    AboutWindow about("2.4.1", productPage("vendor.test"), dispatcher);
    about.present();
    QPushButton& share = about.shareButton();
    share.click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "https://vendor.test/zumo");
    EXPECT_EQ(share.text(), QString::fromUtf8("Copied ✓"));
    dispatcher.advance(1.0);
    share.click();  // a second press within the time copies again
    dispatcher.advance(0.4);
    EXPECT_EQ(share.text(), QString::fromUtf8("Copied ✓"));
    dispatcher.advance(0.1);
    EXPECT_EQ(share.text(), "Copy Share Link");
}

TEST_F(ShellTest, toastGoesAfterItsDurationAndANewOneReplacesTheOld)
{
    Toast toast(dispatcher);
    toast.showToast("Zumo updated to 2.4.1", 2.5);
    QPointer<QWidget> first = toast.current();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    dispatcher.advance(1.0);
    toast.showToast("Second", 2.5);
    EXPECT_TRUE(!first || !first->isVisible());
    dispatcher.advance(2.4);
    EXPECT_NE(toast.current(), nullptr);
    dispatcher.advance(0.1);
    EXPECT_EQ(toast.current(), nullptr);
}

} // namespace
} // namespace zumo::test
