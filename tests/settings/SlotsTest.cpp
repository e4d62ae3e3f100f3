// The shortcut list: order, conflicts between shortcuts, and replacing the active list.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/KeyCodes.h"
#include "tests/fakes/FakeDispatcher.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"

namespace zumo {
namespace {

class SlotsTest : public ::testing::Test {
protected:
    void set(const QString& key, const QJsonValue& value) { store.setValue(key, value); }
    void setSlot(int n, bool on, int mod, int key, int filter)
    {
        const QString prefix = QStringLiteral("slot%1.").arg(n);
        set(prefix + QStringLiteral("on"), on);
        set(prefix + QStringLiteral("mod"), mod);
        set(prefix + QStringLiteral("key"), key);
        set(prefix + QStringLiteral("filter"), filter);
    }

    QTemporaryDir dir;
    FakeDispatcher dispatcher;
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json")), &dispatcher};
    Settings settings{store};
};

TEST_F(SlotsTest, anExtraShortcutTakenEarlierIsLeftOut)
{
    // Both on Option+Tab: the main shortcut already has it.
    setSlot(3, true, 0, 0, 3);
    setSlot(4, true, 0, 0, 4);
    EXPECT_EQ(buildSlots(settings).size(), 2u);

    // Same modifier and key, different filters: slot 3 wins.
    setSlot(3, true, 1, 3, 3);
    setSlot(4, true, 1, 3, 4);
    const std::vector<Slot> slots = buildSlots(settings);
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_EQ(slots[2], (Slot{keys::Control, keys::Space, SlotFilter::tabs}));

    // Option+` is free again once the per-app key is off.
    set(QStringLiteral("perAppKey"), false);
    setSlot(3, true, 0, 1, 1);
    set(QStringLiteral("slot4.on"), false);
    EXPECT_EQ(buildSlots(settings).back(), (Slot{keys::Option, keys::Grave, SlotFilter::currentApp}));
}

// Replaced, and its listeners told, only when it differs: a filter alone is a difference.
TEST_F(SlotsTest, theActiveListIsReplacedOnlyWhenItDiffers)
{
    ActiveSlots active;
    int changes = 0;
    const Subscription subscription = active.changed.subscribe([&] { ++changes; });
    EXPECT_TRUE(active.rebuildSlots(settings));
    EXPECT_FALSE(active.rebuildSlots(settings));
    setSlot(3, true, 1, 0, 3);
    EXPECT_TRUE(active.rebuildSlots(settings));
    set(QStringLiteral("slot3.filter"), 2);
    EXPECT_TRUE(active.rebuildSlots(settings));
    EXPECT_EQ(active.slots().back().filter, SlotFilter::currentSpace);
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace zumo
