// Usage events: the gates, delivery and the wait at quit (the envelope over the wire:
// tests/e2e/VendorE2eTest).
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/VendorService.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeHttpClient.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventSender.h"

namespace zumo {
namespace {

class EventSenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRemoteConfig(RemoteConfig());
        store.setValue("consentVersion", 1);
    }
    void TearDown() override { setRemoteConfig(RemoteConfig()); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    FakeClock clock{QDateTime::fromSecsSinceEpoch(1772719387, Qt::UTC).addMSecs(900)};
    FakeHttpClient http;
    EventSender sender{http, store, clock, eventsUrl()};
};

TEST_F(EventSenderTest, withoutConsentOrWhilePausedNothingIsSentNotEvenQuit)
{
    int delivered = 0;
    const auto tryAll = [&] {
        sender.sendEvent("launch", {});
        sender.sendEvent("quit", {}, true, [&] { ++delivered; });
        http.deliver();
    };
    for (const QJsonValue& consent : {QJsonValue(0), QJsonValue(-1), QJsonValue("1"), QJsonValue(QJsonValue::Undefined)}) {
        store.setValue("consentVersion", consent);
        tryAll();
    }
    store.setValue("consentVersion", 2);
    RemoteConfig paused;
    paused.telemetryPaused = true;
    setRemoteConfig(paused);
    tryAll();
    EventSender noEndpoint(http, store, clock, QUrl());
    setRemoteConfig(RemoteConfig());
    noEndpoint.sendEvent("quit", {}, true);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_EQ(delivered, 0);
    EXPECT_FALSE(store.contains("installID"));
}

TEST_F(EventSenderTest, quitWaitsForTheAnswerAndGivesUpWithoutOne)
{
    int delivered = 0;
    sender.sendEvent("quit", {}, true, [&] { ++delivered; });
    EXPECT_EQ(delivered, 1) << "the answer came within the wait";
    http.respond = [](const HttpRequest&) { return std::optional<HttpResponse>(); };
    sender.sendEvent("quit", {}, true, [&] { ++delivered; });
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(http.requests.size(), 2u);
    // An ending session leaves no time for the full wait.
    hurryQuit();
    sender.sendEvent("quit", {}, true);
    hurryQuit(false);
    EXPECT_EQ(http.waits, (std::vector<double>{QuitWaitSec, QuitWaitSec, HurriedQuitWaitSec}));
}

} // namespace
} // namespace zumo
