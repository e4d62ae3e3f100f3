// The Settings window driven like a user: each control writes its key, the shortcuts reach the
// key handler at once (the conflicts case), conflicts spring back, and the reset asks first.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

#include "platform/KeyCodes.h"
#include "platform/LoginItem.h"
#include "tests/fakes/FakePermissions.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"
#include "windows/Appearance.h"
#include "windows/SettingsWindow.h"
#include "tests/shell/ShellTestSupport.h"

namespace zumo {
namespace {

using test::child;
using test::choose;

class FakeLoginItem final : public LoginItem {
  public:
    bool on = false;
    QString failure; // set: the next change fails with it
    bool enabled() const override { return on; }
    bool setEnabled(bool value, QString& error) override
    {
        if (!failure.isEmpty()) {
            error = failure;
            return false;
        }
        on = value;
        return true;
    }
};

class SettingsWindowTest : public ::testing::Test {
  protected:
    ~SettingsWindowTest() override { applyAppearance(0); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json"))};
    Settings settings{store};
    ActiveSlots slots;
    FakePermissions permissions;
    FakeLoginItem login;
    std::vector<HookShortcut> taken;
    ShortcutHolding holding;
    bool answer = false;
    QStringList questions;
    SettingsWindow window{SettingsWindowDeps{
        store, settings, slots, permissions, &login, [] { return true; }, [this] { return taken; }, [] {},
        [this](QWidget*, const Question& q) {
            questions << q.text + QLatin1Char('|') + q.informative + QLatin1Char('|') + q.confirm;
            return answer;
        },
        [this] { return holding; }}};

    // The control, on its tab brought to the front as the user would.
    template <class T> T* control(const QString& name)
    {
        T* found = child<T>(&window, name);
        auto* tabs = child<QTabWidget>(&window, QStringLiteral("tabs"));
        for (int i = 0; found && i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(found))
                tabs->setCurrentIndex(i);
        return found;
    }
    QCheckBox* box(const QString& name) { return control<QCheckBox>(name); }
    QComboBox* popup(const QString& name) { return control<QComboBox>(name); }
    QString note() { return child<QLabel>(&window, QStringLiteral("slotNote"))->text(); }
    bool noteShown() { return !child<QLabel>(&window, QStringLiteral("slotNote"))->isHidden(); }
};

TEST_F(SettingsWindowTest, everyCheckboxWritesItsKeyAtOnceAndLoadShowsTheStoredValue)
{
    const struct {
        const char* key;
        bool fallback;
    } boxes[] = {
        {"enabled", true},      {"perWindow", true},  {"showWindowless", false}, {"showNumbers", true},
        {"showHints", true},    {"previews", false},  {"otherSpaces", false},    {"perAppKey", true},
        {"mouse", true},        {"listTabs", false},  {"openAtLaunch", true},    {"showMenuBar", true},
        {"menuCounter", false}, {"autoUpdate", true},
    };
    window.show();
    for (const auto& entry : boxes) {
        const QString key = QString::fromLatin1(entry.key);
        SCOPED_TRACE(entry.key);
        QCheckBox* control = box(key);
        EXPECT_EQ(control->isChecked(), entry.fallback);
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_EQ(store.value(key), QJsonValue(!entry.fallback));
        store.setValue(key, entry.fallback);
        window.load();
        EXPECT_EQ(control->isChecked(), entry.fallback);
    }
}

TEST_F(SettingsWindowTest, everyPopupWritesItsValueAndLoadShowsTheStoredValue)
{
    const struct {
        const char* key;
        int choice;
        QJsonValue written;
        QJsonValue stored; // written by hand, then loaded
        int shown;
    } popups[] = {
        {"trigger", 1, 1, 0, 0},    {"showDelay", 3, 0.5, 0.12, 1}, {"displayMode", 2, 2, 1, 1},
        {"appearance", 2, 2, 1, 1}, {"tileSize", 2, 2, 0, 0},
    };
    window.show();
    for (const auto& entry : popups) {
        const QString key = QString::fromLatin1(entry.key);
        SCOPED_TRACE(entry.key);
        choose(popup(key), entry.choice);
        EXPECT_EQ(store.value(key), entry.written);
        store.setValue(key, entry.stored);
        window.load();
        EXPECT_EQ(popup(key)->currentIndex(), entry.shown);
    }
    // A stored delay that is no choice shows the nearest, the earlier on a tie.
    for (auto [stored, index] : {std::pair{0.2, 2}, {0.06, 0}, {0.37, 2}, {0.38, 3}, {2.5, 3}, {-1.0, 0}}) {
        store.setValue(QStringLiteral("showDelay"), stored);
        window.load();
        EXPECT_EQ(popup(QStringLiteral("showDelay"))->currentIndex(), index) << stored;
    }
}

TEST_F(SettingsWindowTest, loginItemFollowsTheBoxAndAFailureIsExplainedAndShowsTheTruth)
{
    window.show();
    QTest::mouseClick(box(QStringLiteral("loginItem")), Qt::LeftButton);
    EXPECT_TRUE(login.on);
    login.failure = QStringLiteral("the autostart folder is read-only");
    QTest::mouseClick(box(QStringLiteral("loginItem")), Qt::LeftButton);
    EXPECT_TRUE(login.on);
    EXPECT_TRUE(box(QStringLiteral("loginItem"))->isChecked());
    bool explained = false;
    for (QLabel* label : window.findChildren<QLabel*>())
        explained |= label->isVisible() && label->text().contains(login.failure);
    EXPECT_TRUE(explained);
}

TEST_F(SettingsWindowTest, aCombinationInUseIsExplainedNotStoredAndTheControlsSpringBack)
{
    window.show();
    // Shortcut 3 as Alt + Tab while the trigger is Alt: the main shortcut's.
    choose(popup(QStringLiteral("slot3.mod")), 0);
    QTest::mouseClick(box(QStringLiteral("slot3.on")), Qt::LeftButton);
    EXPECT_EQ(note(), QStringLiteral("That combination is already used by shortcut 1."));
    EXPECT_TRUE(noteShown());
    EXPECT_FALSE(settings.slotOn(3));
    EXPECT_FALSE(box(QStringLiteral("slot3.on"))->isChecked());

    // A free combination clears the note.
    choose(popup(QStringLiteral("slot3.mod")), 1);
    choose(popup(QStringLiteral("slot3.key")), 3);
    QTest::mouseClick(box(QStringLiteral("slot3.on")), Qt::LeftButton);
    EXPECT_TRUE(settings.slotOn(3));
    EXPECT_FALSE(noteShown());

    // Shortcut 4 as Control + §, then one key further: Control + Space, which shortcut 3 uses.
    choose(popup(QStringLiteral("slot4.mod")), 1);
    choose(popup(QStringLiteral("slot4.key")), 2);
    QTest::mouseClick(box(QStringLiteral("slot4.on")), Qt::LeftButton);
    choose(popup(QStringLiteral("slot4.filter")), 2);
    ASSERT_TRUE(settings.slotOn(4));
    QTest::keyClick(popup(QStringLiteral("slot4.key")), Qt::Key_Down);
    EXPECT_EQ(note(), QStringLiteral("That combination is already used by shortcut 3."));
    EXPECT_EQ(settings.slotKey(4), 2);
    EXPECT_EQ(popup(QStringLiteral("slot4.key"))->currentIndex(), 2);
    EXPECT_EQ(settings.slotFilter(4), SlotFilter::currentSpace);
    EXPECT_EQ(slots.slots().size(), 4u);

    // The main shortcut moved onto shortcut 3's Control + Space is not possible, but onto
    // Control + Tab it is: shortcut 3 there stays on, does nothing, and the note says so.
    choose(popup(QStringLiteral("slot3.key")), 0);
    ASSERT_TRUE(settings.slotOn(3));
    choose(popup(QStringLiteral("trigger")), 1);
    EXPECT_EQ(slots.slots().front(), (Slot{keys::Control, keys::Tab, SlotFilter::all}));  // at once
    EXPECT_TRUE(box(QStringLiteral("slot3.on"))->isChecked());
    EXPECT_EQ(note(), QStringLiteral("Shortcut 3 does nothing while shortcut 1 uses the same combination; change one of them."));
    EXPECT_TRUE(noteShown());
    choose(popup(QStringLiteral("trigger")), 0);
    EXPECT_FALSE(noteShown());
}

TEST_F(SettingsWindowTest, resetAsksFirstThenRestoresEveryDefaultAndTheShortcuts)
{
    window.show();
    choose(popup(QStringLiteral("trigger")), 1);
    choose(popup(QStringLiteral("tileSize")), 0);
    QTest::mouseClick(box(QStringLiteral("perWindow")), Qt::LeftButton);
    choose(popup(QStringLiteral("slot3.mod")), 1);
    choose(popup(QStringLiteral("slot3.key")), 3);
    QTest::mouseClick(box(QStringLiteral("slot3.on")), Qt::LeftButton);
    ASSERT_TRUE(settings.slotOn(3));
    // Hidden apps, statistics, the install id, the import and consent outlive a reset.
    const QStringList kept{"appModes", "day.20260305.switches", "period.switches", "all.switches",
                           "stats.periodSince", "installID", "migratedWendle", "consentVersion"};
    for (const QString& key : kept)
        store.setValue(key, 7);
    const QJsonObject before = store.snapshot();
    const std::vector<Slot> slotsBefore = slots.slots();

    QTest::mouseClick(child<QPushButton>(&window, QStringLiteral("resetButton")), Qt::LeftButton);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0],
              QStringLiteral("Reset all settings to defaults?|Statistics and hidden apps are kept.|Reset"));
    EXPECT_EQ(store.snapshot(), before);
    EXPECT_EQ(slots.slots(), slotsBefore);

    answer = true;
    QTest::mouseClick(child<QPushButton>(&window, QStringLiteral("resetButton")), Qt::LeftButton);
    QJsonObject left = before;
    for (const QString& key : Settings::resetKeys())
        left.remove(key);
    EXPECT_EQ(store.snapshot(), left);
    for (const QString& key : kept)
        EXPECT_TRUE(store.contains(key)) << qPrintable(key);
    EXPECT_EQ(slots.slots(), (std::vector<Slot>{{keys::Option, keys::Tab, SlotFilter::all},
                                                {keys::Option, keys::Grave, SlotFilter::currentApp}}));
    EXPECT_TRUE(login.on);
    // The controls show what was restored (each control's load: the tables above).
    EXPECT_EQ(popup(QStringLiteral("trigger"))->currentIndex(), 0);
    EXPECT_FALSE(box(QStringLiteral("slot3.on"))->isChecked());
}

TEST_F(SettingsWindowTest, statusRowsSayWhatIsTrueHereAndOfferNoButtonThatCannotHelp)
{
    auto text = [this](const char* name) {
        return child<QLabel>(&window, QString::fromLatin1(name))->text();
    };
    window.load();
    EXPECT_EQ(text("keyboardStatus"), QStringLiteral("● Granted"));
    EXPECT_EQ(text("captureStatus"), QStringLiteral("● Available"));

    taken = {{keys::Option, keys::Tab}};
    permissions.capture = false;
    window.load();
    EXPECT_EQ(text("keyboardStatus"), QStringLiteral("● Partly: Alt+Tab held by another program"));
    EXPECT_EQ(text("captureStatus"), QStringLiteral("● Not available"));
    holding = {QStringLiteral("Marco"), QStringLiteral("To free it there, run: gsettings set …")};
    window.load();
    EXPECT_EQ(text("keyboardStatus"), QStringLiteral("● Partly: Alt+Tab held by Marco"));
    EXPECT_TRUE(std::ranges::any_of(window.findChildren<QLabel*>(), [](QLabel* l) {
        return l->text() == QStringLiteral("To free it there, run: gsettings set …");
    })) << "the way to free it, under the row";

    for (QPushButton* button : window.findChildren<QPushButton*>())
        EXPECT_FALSE(button->text().contains(QStringLiteral("Grant")) ||
                     button->text().contains(QStringLiteral("Allow")))
            << button->text().toStdString();
}

} // namespace
} // namespace zumo
