// The common payload, the settings snapshot, the demo's text, and the events of the lifetime.
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/VendorService.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeHttpClient.h"
#include "tests/fakes/FakePermissions.h"
#include "remote/RemoteConfig.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "telemetry/Telemetry.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

class EventPayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRemoteConfig(RemoteConfig());
        payload.readFacts = [] { return DeviceFacts(); };
    }
    QJsonObject sent(std::size_t i) const { return QJsonDocument::fromJson(http.requests.at(i).body).object(); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    Settings settings{store};
    FakeClock clock;
    FakeDispatcher dispatcher{&clock};
    Counters counters{store, clock};
    FakePermissions permissions;
    EventPayload payload{settings, counters, clock, SessionFacts{{}, {}, &permissions, true, "0.0.9", {}}};
    FakeHttpClient http;
    EventSender sender{http, store, clock, eventsUrl()};
    LogUploader uploader{sender, store, dispatcher, dir.path(), {}};
    Telemetry telemetry{dispatcher, payload, sender, uploader};
};

TEST_F(EventPayloadTest, payloadCarriesDeviceSettingsStatsAndTheRunningTime)
{
    store.setValue("appModes", QJsonObject{{"a", "hide"}, {"b", "hide"}});
    store.setValue("showDelay", 0.3);
    counters.bumpCounter("switches", 4);
    const QJsonObject first = payload.eventPayload();
    EXPECT_EQ(first.keys(), QStringList({"device", "session", "settings", "stats"}));
    EXPECT_EQ(first["session"], 0);
    const QJsonObject s = first["settings"].toObject();
    EXPECT_EQ(s.size(), 27);
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

TEST_F(EventPayloadTest, launchGathersFactsInTheBackgroundThenSendsAndUploads)
{
    store.setValue("consentVersion", 1);
    test::writeAll(dir.filePath("events.log"), "line\n");
    telemetry.launch();
    EXPECT_TRUE(http.requests.empty());
    EXPECT_EQ(dispatcher.lastQuality(), Quality::Utility);
    dispatcher.runAll();
    ASSERT_EQ(http.requests.size(), 2u);
    EXPECT_EQ(sent(0)["event"], "launch");
    EXPECT_TRUE(sent(0)["device"].toObject().contains("appsInstalled"));
    EXPECT_EQ(sent(1)["event"], "logs");
    telemetry.ping();
    EXPECT_EQ(sent(2)["event"], "ping");
}

} // namespace
} // namespace zumo
