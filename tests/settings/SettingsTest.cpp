// The typed readers: wrong types, truncation and clamps (what a reset keeps: SettingsWindowTest);
// the shortcut list built from them: order, conflicts, replacing the active list.
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include "tests/fakes/FakeDispatcher.h"
#include "settings/Settings.h"
#include "platform/KeyCodes.h"
#include "settings/SettingsStore.h"
#include "settings/Slots.h"

namespace zumo {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void set(const char* key, const QJsonValue& value) { store.setValue(QString::fromLatin1(key), value); }

    QTemporaryDir dir;
    FakeDispatcher dispatcher; // saves wait for a timer the tests never fire
    SettingsStore store{dir.filePath(QStringLiteral("com.zumo.app.json")), &dispatcher};
    Settings settings{store};
};

// Wrong types read as the default; numbers are truncated toward zero, then clamped.
TEST_F(SettingsTest, readersFallBackOnWrongTypesTruncateAndClamp)
{
    using Read = double (*)(const Settings&);
    const Read delay = [](const Settings& s) { return s.showDelay(); };
    const Read tile = [](const Settings& s) { return double(s.tileSize()); };
    const Read mask = [](const Settings& s) { return double(s.triggerMask()); };
    const Read enabled = [](const Settings& s) { return double(s.enabled()); };
    const Read filter3 = [](const Settings& s) { return double(s.slotFilter(3)); };
    const Read filter4 = [](const Settings& s) { return double(s.slotFilter(4)); };
    const Read key4 = [](const Settings& s) { return double(s.slotKey(4)); };
    const struct {
        const char* key;
        QJsonValue value;
        Read read;
        double expected;
    } cases[] = {
        {"showDelay", QStringLiteral("0.5"), delay, 0.12}, {"showDelay", true, delay, 0.12},
        {"showDelay", 2.5, delay, 1.0},                    {"showDelay", -1, delay, 0.0},
        {"showDelay", 0.25, delay, 0.25},                  {"tileSize", 7, tile, 2},
        {"tileSize", 1.9, tile, 1},                        {"tileSize", -0.9, tile, 0},
        {"tileSize", QStringLiteral("2"), tile, 1},        {"tileSize", 1e300, tile, 2},
        {"trigger", 5, mask, 0x40000},                     {"trigger", -3, mask, 0x80000},
        {"trigger", QStringLiteral("1"), mask, 0x80000},   {"trigger", 0.5, mask, 0x80000},
        {"trigger", 1e12, mask, 0x40000},                  {"enabled", 0, enabled, 1},
        {"slot4.filter", 9, filter4, double(SlotFilter::minimized)},
        {"slot3.filter", -2, filter3, double(SlotFilter::all)},
        {"slot3.filter", QStringLiteral("x"), filter3, double(SlotFilter::tabs)},
        {"slot4.key", -1, key4, 0},                        {"slot4.key", 3.7, key4, 3},
    };
    for (const auto& c : cases) {
        set(c.key, c.value);
        EXPECT_DOUBLE_EQ(c.read(settings), c.expected) << c.key << " = " << c.value.toVariant().toString().toStdString();
    }
    // Whole numbers beyond a double's precision stay exact.
    const qint64 big = std::numeric_limits<qint64>::max() - 1;
    set("counter", big);
    EXPECT_EQ(settings.integer(QStringLiteral("counter"), 0, std::numeric_limits<std::int64_t>::min(),
                               std::numeric_limits<std::int64_t>::max()), big);
    // Hidden apps need a dictionary, and keep only its string entries.
    set("appModes", QJsonObject{});
    EXPECT_EQ(settings.appModes(), (QMap<QString, QString>{}));
    set("appModes", QJsonObject{{QStringLiteral("a"), QStringLiteral("hide")}, {QStringLiteral("b"), 1}});
    EXPECT_EQ(settings.appModes(), (QMap<QString, QString>{{QStringLiteral("a"), QStringLiteral("hide")}}));
    set("appModes", QJsonArray{QStringLiteral("a")});
    EXPECT_FALSE(settings.appModes().has_value());
}

class SlotsTest : public SettingsTest {
protected:
    void setSlot(int n, bool on, int mod, int key, int filter)
    {
        const QString prefix = QStringLiteral("slot%1.").arg(n);
        store.setValue(prefix + QStringLiteral("on"), on);
        store.setValue(prefix + QStringLiteral("mod"), mod);
        store.setValue(prefix + QStringLiteral("key"), key);
        store.setValue(prefix + QStringLiteral("filter"), filter);
    }
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
    set("perAppKey", false);
    setSlot(3, true, 0, 1, 1);
    set("slot4.on", false);
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
    set("slot3.filter", 2);
    EXPECT_TRUE(active.rebuildSlots(settings));
    EXPECT_EQ(active.slots().back().filter, SlotFilter::currentSpace);
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace zumo
