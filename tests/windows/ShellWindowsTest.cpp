// The consent window, the toast, and each window opened again, driven like a user,
// with the test clock.
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "settings/Slots.h"
#include "tests/fakes/FakeAppCatalog.h"
#include "tests/fakes/FakeWorkspace.h"
#include "windows/AppWindows.h"
#include "windows/HiddenAppsWindow.h"
#include "windows/StatisticsWindow.h"
#include "windows/ConsentWindow.h"
#include "windows/Toast.h"
#include "tests/shell/ShellFakes.h"

namespace zumo::test {
namespace {

QPushButton* button(QWidget& window, const QString& title)
{
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (b->text() == title)
            return b;
    return nullptr;
}

// What the user does in the consent window, and what follows: launches, quits, "consentVersion".
// Return on the default Agree before a first launch: FilesE2e.
TEST_F(ShellTest, consentIsRecordedOnlyOnAgree)
{
    const struct {
        const char* name;
        std::function<void(ConsentWindow&)> act;
        int starts, quits;
    } cases[] = {
        {"agree twice starts once", [](ConsentWindow& c) { button(c, "Agree")->click(), c.present(), button(c, "Agree")->click(); }, 1, 0},
        {"Return on a focused Disagree quits", [](ConsentWindow& c) {
             button(c, "Disagree")->setFocus();
             QTest::keyClick(button(c, "Disagree"), Qt::Key_Return);
         }, 0, 1},
        {"closing quits", [](ConsentWindow& c) { c.close(); }, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store.remove("consentVersion");
        ConsentWindow consent{store, privacyPage("vendor.test"), [](const QUrl&) {}};
        int starts = 0, quits = 0;
        const Subscription agreed = consent.agreed.subscribe([&] { ++starts; });
        const Subscription quitting = consent.quitRequested.subscribe([&] { ++quits; });
        consent.present();
        EXPECT_TRUE(ConsentWindow::consentNeeded(store));
        c.act(consent);
        EXPECT_EQ(starts, c.starts);
        EXPECT_EQ(quits, c.quits);
        EXPECT_EQ(ConsentWindow::consentNeeded(store), starts == 0);
        EXPECT_EQ(store.value("consentVersion").toInteger(), starts);
        EXPECT_TRUE(starts == 0 || !consent.isVisible());
    }
}

// Each window chosen again from the menu while open, and minimised and restored: it stays as
// the user left it (place, size, tab) and keeps working.
TEST_F(ShellTest, eachWindowComesForwardAsTheUserLeftIt)
{
    FakeWorkspace workspace;
    FakeAppCatalog catalog;
    ActiveSlots slots;
    AppWindows windows{AppWindowsDeps{store, settings, slots, counters, dispatcher, clock, workspace, catalog,
                                      permissions, nullptr, {}, {}, {}, askWithMessageBox, {}}};
    const std::pair<const char*, std::function<QWidget&()>> opens[] = {
        {"settings", [&]() -> QWidget& { return windows.openSettings(), windows.settingsWindow(); }},
        {"hiddenApps", [&]() -> QWidget& { return windows.showHiddenApps(), windows.hiddenAppsWindow(); }},
        {"statistics", [&]() -> QWidget& { return windows.showStatistics(), windows.statisticsWindow(); }},
    };
    for (const auto& [name, open] : opens) {
        SCOPED_TRACE(name);
        QWidget& window = open();
        ASSERT_TRUE(window.isVisible());
        window.move(window.pos() + QPoint(37, 23));
        const bool resizable = window.minimumSize() != window.maximumSize();
        if (resizable)
            window.resize(window.minimumSize() + QSize(60, 40));
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabs"));
        if (tabs)
            tabs->setCurrentIndex(2);
        const QRect left = window.geometry();

        open();
        EXPECT_EQ(window.geometry(), left);
        EXPECT_TRUE(!tabs || tabs->currentIndex() == 2);

        window.close();
        open();
        EXPECT_EQ(window.size(), left.size());  // closed and opened again: the size stays too

        QHideEvent minimised;
        QShowEvent restored;
        QCoreApplication::sendEvent(&window, &minimised);
        QCoreApplication::sendEvent(&window, &restored);
        if (dynamic_cast<StatisticsWindow*>(&window)) {
            counters.bumpCounter("jumps");
            dispatcher.advance(1);
            EXPECT_EQ(window.findChild<QLabel*>("jumps.today")->text(), "1");
        }
    }
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
