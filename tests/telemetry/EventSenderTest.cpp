// Usage events: the gates, the envelope, the request, delivery and the wait at quit.
#include <QJsonDocument>
#include <QRegularExpression>
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

    QJsonObject sentObject(std::size_t i) const { return QJsonDocument::fromJson(http.requests.at(i).body).object(); }

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

TEST_F(EventSenderTest, eventsCarryTheEnvelopeAndPropertiesOverrideIt)
{
    // The envelope over the wire, and one identifier kept for the installation: VendorE2eTest.
    sender.sendEvent("ping", {{"version", "9.9"}, {"extra", true}});
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].maxBodyBytes, 0) << "the answer's body is never read";
    EXPECT_FALSE(http.requests[0].body.contains('\n'));
    const QJsonObject e = sentObject(0);
    EXPECT_EQ(e["version"], "9.9");
    EXPECT_EQ(e["extra"], true);
    EXPECT_EQ(e["ts"].toInteger(), 1772719387);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(e["install"].toString()).hasMatch());
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
