// The typed readers: defaults, wrong types, truncation and clamps, and what a reset removes.
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

#include "platform/fake/FakeDispatcher.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

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

// Only the defaults other code depends on; the flags read the same way as "enabled".
TEST_F(SettingsTest, anEmptyStoreReadsAsTheDefaults)
{
    EXPECT_TRUE(settings.enabled());
    EXPECT_EQ(settings.triggerMask(), 0x80000u);
    EXPECT_DOUBLE_EQ(settings.showDelay(), 0.12);
    EXPECT_EQ(settings.tileSize(), 1);
    EXPECT_FALSE(settings.appModes().has_value());
    EXPECT_EQ(settings.slotMod(3), 2);
    EXPECT_EQ(settings.slotKey(4), 1);
    EXPECT_EQ(settings.slotFilter(3), SlotFilter::tabs);
    EXPECT_EQ(settings.slotFilter(4), SlotFilter::minimized);
}

TEST_F(SettingsTest, showDelayFallsBackOnWrongTypesAndIsClamped)
{
    set("showDelay", QStringLiteral("0.5"));
    EXPECT_DOUBLE_EQ(settings.showDelay(), 0.12);
    set("showDelay", true);
    EXPECT_DOUBLE_EQ(settings.showDelay(), 0.12);
    set("showDelay", 2.5);
    EXPECT_DOUBLE_EQ(settings.showDelay(), 1.0);
    set("showDelay", -1);
    EXPECT_DOUBLE_EQ(settings.showDelay(), 0.0);
    set("showDelay", 0.25);
    EXPECT_DOUBLE_EQ(settings.showDelay(), 0.25);
}

TEST_F(SettingsTest, integersAreTruncatedTowardZeroThenClamped)
{
    set("tileSize", 7);
    EXPECT_EQ(settings.tileSize(), 2);
    set("tileSize", 1.9);
    EXPECT_EQ(settings.tileSize(), 1);
    set("tileSize", -0.9);
    EXPECT_EQ(settings.tileSize(), 0);
    set("tileSize", -5);
    EXPECT_EQ(settings.tileSize(), 0);
    set("tileSize", QStringLiteral("2"));
    EXPECT_EQ(settings.tileSize(), 1);
    set("tileSize", 1e300);
    EXPECT_EQ(settings.tileSize(), 2);
    set("displayMode", -1e300);
    EXPECT_EQ(settings.displayMode(), 0);

    // Whole numbers beyond a double's precision stay exact.
    const qint64 big = std::numeric_limits<qint64>::max() - 1;
    set("counter", big);
    EXPECT_EQ(settings.integer(QStringLiteral("counter"), 0, std::numeric_limits<std::int64_t>::min(),
                               std::numeric_limits<std::int64_t>::max()), big);
}

TEST_F(SettingsTest, triggerAboveZeroMeansControl)
{
    set("trigger", 5);
    EXPECT_EQ(settings.trigger(), 5);
    EXPECT_EQ(settings.triggerMask(), 0x40000u);
    set("trigger", -3);
    EXPECT_EQ(settings.triggerMask(), 0x80000u);
    set("trigger", QStringLiteral("1"));
    EXPECT_EQ(settings.triggerMask(), 0x80000u);
    set("trigger", 0.5); // truncates to 0
    EXPECT_EQ(settings.triggerMask(), 0x80000u);
    set("trigger", 1e12); // beyond int, still Control
    EXPECT_EQ(settings.triggerMask(), 0x40000u);
}

TEST_F(SettingsTest, valuesOfAnotherTypeReadAsTheDefault)
{
    set("enabled", 0);
    EXPECT_TRUE(settings.enabled());
    set("showDock", QStringLiteral("true"));
    EXPECT_FALSE(settings.showDock());
    set("enabled", false);
    EXPECT_FALSE(settings.enabled());
    set("pauseUntil", QStringLiteral("tomorrow"));
    EXPECT_EQ(settings.pauseUntil(), 0.0);
}

TEST_F(SettingsTest, slotReadersClampAndMapFilters)
{
    set("slot4.filter", 9);
    EXPECT_EQ(settings.slotFilter(4), SlotFilter::minimized);
    set("slot3.filter", -2);
    EXPECT_EQ(settings.slotFilter(3), SlotFilter::all);
    set("slot3.filter", QStringLiteral("x"));
    EXPECT_EQ(settings.slotFilter(3), SlotFilter::tabs);
    set("slot3.mod", 8);
    EXPECT_EQ(settings.slotMod(3), 2);
    set("slot4.key", -1);
    EXPECT_EQ(settings.slotKey(4), 0);
    set("slot4.key", 3.7);
    EXPECT_EQ(settings.slotKey(4), 3);
}

TEST_F(SettingsTest, appModesNeedADictionaryOfStrings)
{
    set("appModes", QJsonObject{{QStringLiteral("org.example.mail"), QStringLiteral("hide")}});
    ASSERT_TRUE(settings.appModes().has_value());
    EXPECT_EQ(settings.appModes()->value(QStringLiteral("org.example.mail")), QStringLiteral("hide"));
    set("appModes", QJsonObject{});
    ASSERT_TRUE(settings.appModes().has_value());
    EXPECT_TRUE(settings.appModes()->isEmpty());
    set("appModes", QJsonObject{{QStringLiteral("a"), QStringLiteral("hide")}, {QStringLiteral("b"), 1}});
    EXPECT_FALSE(settings.appModes().has_value());
    set("appModes", QJsonArray{QStringLiteral("a")});
    EXPECT_FALSE(settings.appModes().has_value());
}

TEST_F(SettingsTest, resetRemovesThePreferencesAndKeepsStatisticsAndHiddenApps)
{
    for (const QString& key : Settings::resetKeys())
        store.setValue(key, 1);
    const QStringList kept = {QStringLiteral("appModes"), QStringLiteral("day.20260305.switches"),
                              QStringLiteral("period.switches"), QStringLiteral("all.switches"),
                              QStringLiteral("stats.periodSince"), QStringLiteral("installID"),
                              QStringLiteral("migratedWendle"), QStringLiteral("consentVersion")};
    for (const QString& key : kept)
        store.setValue(key, QStringLiteral("keep"));

    settings.resetToDefaults();

    EXPECT_EQ(Settings::resetKeys().size(), 29);
    QStringList left = store.keys();
    left.sort();
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(left, expected);
    for (const QString& key : kept)
        EXPECT_EQ(store.value(key).toString(), QStringLiteral("keep"));
}

} // namespace
} // namespace zumo
