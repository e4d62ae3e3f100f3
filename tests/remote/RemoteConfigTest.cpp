// Applying configuration documents: clamps, fallbacks, types, texts (the demo's lines: VendorE2eTest).
#include <QJsonArray>
#include <gtest/gtest.h>
#include <limits>

#include "remote/RemoteConfig.h"

namespace zumo {
namespace {

RemoteConfig applied(const QJsonObject& doc)
{
    RemoteConfig c;
    applyRemoteConfig(c, doc);
    return c;
}

TEST(RemoteConfigTest, numbersAreClampedIntegersTruncatedAndOtherTypesIgnored)
{
    EXPECT_EQ(applied({{"pingMinutes", 0.5}}).pingMinutes, 1);
    EXPECT_EQ(applied({{"pingMinutes", 3000}}).pingMinutes, 1440);
    EXPECT_EQ(applied({{"pingMinutes", 0.25 + 30}}).pingMinutes, 30.25);
    EXPECT_EQ(applied({{"pingMinutes", "30"}}), RemoteConfig());
    EXPECT_EQ(applied({{"updateNudgeAfterSwitches", 7.9}}).updateNudgeAfterSwitches, 7);
    EXPECT_EQ(applied({{"updateNudgeMaxPerVersion", -3}}).updateNudgeMaxPerVersion, 0);
    EXPECT_EQ(applied({{"updateNudgeAfterSwitches", 1e300}}).updateNudgeAfterSwitches, 1000);
    EXPECT_EQ(applied({{"networkTimeoutSec", 1}}).networkTimeoutSec, 3);
    EXPECT_EQ(applied({{"updateMaxDownloadMB", QJsonValue::Null}}), RemoteConfig());
}

// Non-finite numbers in every field: tests/fuzz (seeds nan, inf, neginf) keeps each within bounds.
TEST(RemoteConfigTest, booleansComeFromBooleansOrNumbersOnly)
{
    EXPECT_TRUE(applied({{"telemetryPaused", 1}}).telemetryPaused);
    EXPECT_TRUE(applied({{"telemetryPaused", std::numeric_limits<double>::infinity()}}).telemetryPaused);
    EXPECT_FALSE(applied({{"telemetryPaused", std::numeric_limits<double>::quiet_NaN()}}).telemetryPaused);
    RemoteConfig c;
    c.telemetryPaused = true;
    applyRemoteConfig(c, {{"telemetryPaused", 0.5}});
    EXPECT_FALSE(c.telemetryPaused);
    c.telemetryPaused = true;
    applyRemoteConfig(c, {{"telemetryPaused", "false"}, {"updatePrefetch", false}, {"logUploadPaused", 2}});
    EXPECT_TRUE(c.telemetryPaused);
    EXPECT_FALSE(c.updatePrefetch);
    EXPECT_TRUE(c.logUploadPaused);
}

TEST(RemoteConfigTest, textsAreCutByUserPerceivedCharactersAndTheirSize)
{
    EXPECT_EQ(applied({{"announceText", QString(250, 'x')}}).announceText, QString(200, 'x'));
    // "é" written as e + combining accent is one character of two code units; a flag is one of four.
    const QString accent = QString::fromUtf8("e\xCC\x81");
    const QString flag = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA");
    EXPECT_EQ(applied({{"announceId", accent.repeated(70)}}).announceId, accent.repeated(64));
    EXPECT_EQ(applied({{"announceText", flag.repeated(201)}}).announceText, flag.repeated(200));
    // One "character" of 500 000 combining marks is not stored to be laid out at every show.
    const QString heavy = "a" + QString::fromUtf8("\xCC\x81").repeated(500000);
    EXPECT_EQ(applied({{"announceText", "hi " + heavy}}).announceText, "hi ");
    RemoteConfig c;
    c.announceId = "old";
    applyRemoteConfig(c, {{"announceId", QJsonArray{"x"}}, {"announceText", ""}});
    EXPECT_EQ(c.announceId, "old");
    EXPECT_EQ(c.announceText, "");
}

} // namespace
} // namespace zumo
