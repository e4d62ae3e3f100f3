// The common payload: device, settings snapshot, statistics and the running time (the launch that
// sends it: tests/e2e/VendorE2eTest).
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakePermissions.h"
#include "remote/RemoteConfig.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/Telemetry.h"

namespace zumo {
namespace {

class EventPayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRemoteConfig(RemoteConfig());
        payload.readFacts = [] { return DeviceFacts(); };
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    Settings settings{store};
    FakeClock clock;
    Counters counters{store, clock};
    FakePermissions permissions;
    EventPayload payload{settings, counters, clock, SessionFacts{{}, {}, &permissions, true, "0.0.9", {}}};
};

TEST_F(EventPayloadTest, payloadCarriesDeviceSettingsStatsAndTheRunningTime)
{
    store.setValue("appModes", QJsonObject{{"a", "hide"}, {"b", "hide"}});
    store.setValue("showDelay", 0.3);
    counters.bumpCounter("switches", 4);
    const QJsonObject first = payload.eventPayload();
    EXPECT_EQ(first["session"], 0);
    const QJsonObject s = first["settings"].toObject();
    EXPECT_EQ(s["hiddenApps"], 2);
    EXPECT_EQ(s["showDelay"], 0.3);
    EXPECT_EQ(s["loginLaunch"], true);
    EXPECT_EQ(s["updatedFrom"], "0.0.9");
    EXPECT_EQ(s["accessibility"], permissions.accessibilityTrusted());
    EXPECT_EQ(first["stats"].toObject()["all"].toObject()["switches"], 4);

    clock.advance(90.9);
    EXPECT_EQ(payload.eventPayload()["session"], 90);
}

TEST_F(EventPayloadTest, theKeyboardIsTheLiveLayoutAndTheConfiguredOneWhenTheDesktopCannotTell)
{
    payload.readFacts = [] {
        DeviceFacts configured;
        configured.keyboard = "xkb:us";
        return configured;
    };
    for (const auto& [live, reported] : {std::pair{"de", "xkb:de"}, {"", "xkb:us"}}) {
        payload.session().keyboardLayout = [live] { return QString::fromLatin1(live); };
        EXPECT_EQ(payload.deviceProfile()["keyboard"], reported) << live;
    }
}

} // namespace
} // namespace zumo
