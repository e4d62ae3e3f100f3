// The Hidden Apps window: which applications it lists and in what order, what a choice stores,
// and that an application hidden through "Add App…" is gone from the next switcher run.
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "inventory/Inventory.h"
#include "inventory/InventoryPrefs.h"
#include "tests/fakes/FakeAccessibility.h"
#include "tests/fakes/FakeAppCatalog.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeWindowServer.h"
#include "tests/fakes/FakeWorkspace.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "windows/AppPicker.h"
#include "windows/HiddenAppsWindow.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/TestSupport.h"

namespace zumo {
namespace {

using test::child;
using test::choose;

class HiddenAppsWindowTest : public ::testing::Test {
  protected:
    HiddenAppsWindowTest()
    {
        workspace.add(10, QStringLiteral("org.b.Beta"), QStringLiteral("Beta"));
        workspace.add(11, QStringLiteral("org.a.alpha"), QStringLiteral("alpha"));
        workspace.add(12, QStringLiteral("com.zumo.app"), QStringLiteral("Zumo"));
        workspace.add(13, QStringLiteral("org.tray.Agent"), QStringLiteral("Agent")).regular = false;
        catalog.apps = {
            {QStringLiteral("org.c.Gamma"), QStringLiteral("Gamma"), {}},
            {QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"), QStringLiteral("firefox-esr")},
            {QStringLiteral("org.b.Beta"), QStringLiteral("Beta (installed)"), {}}};
    }

    // The bundle ids of the rows, top to bottom.
    QStringList rowIds() const
    {
        QStringList ids;
        for (QComboBox* popup : window->findChildren<QComboBox*>())
            ids << popup->objectName();
        return ids;
    }
    QJsonValue stored() const { return store.value(QStringLiteral("appModes")); }
    QStringList switcherTitles() { return test::titles(inventory.buildEntries(inventory.switchableApps(), {})); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json"))};
    Settings settings{store};
    FakeWorkspace workspace;
    FakeAppCatalog catalog;
    FakeAccessibility ax;
    FakeWindowServer server;
    FakeClock clock;
    Inventory inventory{workspace, ax, server, clock, inventoryPrefs(settings)};
    std::unique_ptr<HiddenAppsWindow> window;

    void open()
    {
        window = std::make_unique<HiddenAppsWindow>(HiddenAppsDeps{store, settings, workspace, catalog});
        window->showWindow();
    }
};

TEST_F(HiddenAppsWindowTest, listsRuledAppsFirstThenByNameAndLeavesOutWhatCannotBeNamed)
{
    store.setValue(
        QStringLiteral("appModes"),
        QJsonObject{{"org.c.Gamma", "hide"}, {"uninstalled.app", "hide"}, {"org.tray.Agent", "dim"}});
    open();
    // Gamma is installed but not running; the agent is listed only for its rule; Zumo never.
    EXPECT_EQ(rowIds(), (QStringList{"org.tray.Agent", "org.c.Gamma", "org.a.alpha", "org.b.Beta"}));
    EXPECT_EQ(child<QComboBox>(window.get(), QStringLiteral("org.c.Gamma"))->currentText(),
              QStringLiteral("Hide from switcher"));
    // A value that is no choice shows the first one.
    EXPECT_EQ(child<QComboBox>(window.get(), QStringLiteral("org.tray.Agent"))->currentIndex(), 0);
    EXPECT_TRUE(stored().toObject().contains(QStringLiteral("uninstalled.app")));
}

TEST_F(HiddenAppsWindowTest, choosingStoresOnlyHiddenAppsAndTheOrderChangesOnTheNextShow)
{
    open();
    ASSERT_EQ(rowIds(), (QStringList{"org.a.alpha", "org.b.Beta"}));
    choose(child<QComboBox>(window.get(), QStringLiteral("org.b.Beta")), 1);
    EXPECT_EQ(stored(), QJsonValue(QJsonObject{{"org.b.Beta", "hide"}}));
    EXPECT_EQ(rowIds(), (QStringList{"org.a.alpha", "org.b.Beta"}));
    window->showWindow();
    EXPECT_EQ(rowIds(), (QStringList{"org.b.Beta", "org.a.alpha"}));

    choose(child<QComboBox>(window.get(), QStringLiteral("org.b.Beta")), 0);
    EXPECT_EQ(stored(), QJsonValue(QJsonObject{}));

    // A wheel turned over a row changes nothing; a hand-edited entry that is no string costs the
    // other rules nothing, and stays.
    const QJsonObject rules{{"org.c.Gamma", "hide"}, {"org.x.Odd", 1}};
    store.setValue(QStringLiteral("appModes"), rules);
    open();
    auto* beta = child<QComboBox>(window.get(), QStringLiteral("org.b.Beta"));
    QWheelEvent wheel(QPointF(5, 5), beta->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(beta, &wheel);
    EXPECT_EQ(beta->currentIndex(), 0);
    EXPECT_EQ(stored(), QJsonValue(rules));

    choose(beta, 1);
    QJsonObject expected = rules;
    expected.insert("org.b.Beta", "hide");
    EXPECT_EQ(stored(), QJsonValue(expected));
}

TEST_F(HiddenAppsWindowTest, anAppHiddenThroughAddAppIsGoneFromTheNextSwitcherRun)
{
    workspace.add(20, QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"));
    ax.addWindow(20, QStringLiteral("Mozilla Firefox"), QRectF(0, 0, 800, 600));
    ax.addWindow(11, QStringLiteral("alpha window"), QRectF(0, 0, 400, 300));
    ASSERT_EQ(switcherTitles(), (QStringList{"alpha window", "Mozilla Firefox"}));
    open();

    QTest::mouseClick(child<QPushButton>(window.get(), QStringLiteral("addApp")), Qt::LeftButton);
    auto* picker = child<AppPicker>(window.get(), QStringLiteral("appPicker"));
    ASSERT_TRUE(picker);
    auto* list = child<QListWidget>(picker, QStringLiteral("apps"));
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Beta (installed)"));
    QTest::keyClicks(child<QLineEdit>(picker, QStringLiteral("search")), QStringLiteral("fire"));
    QTest::mouseClick(child<QPushButton>(picker, QStringLiteral("add")), Qt::LeftButton);

    EXPECT_EQ(stored(), QJsonValue(QJsonObject{{"firefox-esr", "hide"}}));
    EXPECT_EQ(rowIds().first(), QStringLiteral("firefox-esr"));
    EXPECT_EQ(switcherTitles(), (QStringList{"alpha window"}));
}

} // namespace
} // namespace zumo
