// The fetch, the announcement rule and the ping chain, over the fake HTTP client and dispatcher
// (the chain through every kind of failed fetch, over the wire: tests/e2e/VendorE2eTest).
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/VendorService.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeHttpClient.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteConfigService.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

class RemoteConfigServiceTest : public ::testing::Test {
protected:
    void SetUp() override { setRemoteConfig(RemoteConfig()); }
    void TearDown() override { setRemoteConfig(RemoteConfig()); }

    void answerWith(HttpResponse response)
    {
        http.respond = [response](const HttpRequest&) { return std::optional<HttpResponse>(response); };
    }
    // Lets the pending fetch complete and reports the ping delay it armed.
    double completeFetch()
    {
        http.deliver();
        return dispatcher.lastTimerDelay();
    }
    // One ping whose fetch gets this answer.
    void pingAnswered(HttpResponse response)
    {
        answerWith(std::move(response));
        service.pingTick();
        completeFetch();
    }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    FakeDispatcher dispatcher;
    FakeHttpClient http;
    RemoteConfigService service{http, dispatcher, store};
};

TEST_F(RemoteConfigServiceTest, fetchAsksTheVendorWithoutCacheAndAppliesTheDocument)
{
    answerWith(FakeHttpClient::ok(R"({"pingMinutes": 0.5, "networkTimeoutSec": 20, "x": 1})"));
    service.start();
    ASSERT_EQ(http.requests.size(), 1u);
    const HttpRequest& r = http.requests[0];  // what the vendor sees of it: VendorE2eTest
    EXPECT_TRUE(r.ignoreCache);
    EXPECT_GT(r.deadlineSec, r.idleTimeoutSec);
    EXPECT_EQ(r.maxBodyBytes, OneMiB);
    EXPECT_EQ(completeFetch(), 60);
    EXPECT_EQ(remoteConfig().networkTimeoutSec, 20);

    // The next request uses the time-out just received.
    dispatcher.advance(60);
    ASSERT_EQ(http.requests.size(), 2u);
    EXPECT_EQ(http.requests[1].idleTimeoutSec, 20);
}

TEST_F(RemoteConfigServiceTest, anAnnouncementIsPendingOncePerIdAndNeedsBothFields)
{
    int applications = 0;
    Subscription sub = service.applied.subscribe([&] { ++applications; });
    answerWith(FakeHttpClient::ok(R"({"announceId": "n1", "announceText": ""})"));
    service.start();
    completeFetch();
    EXPECT_FALSE(service.pendingAnnouncement());

    pingAnswered(FakeHttpClient::ok(R"({"announceId": "n1", "announceText": "Hello"})"));
    ASSERT_TRUE(service.pendingAnnouncement());
    EXPECT_EQ(service.takePendingAnnouncement()->text, "Hello");
    EXPECT_EQ(store.value("lastAnnounceId").toString(), "n1");

    // The same id again: never pending again.
    service.pingTick();
    completeFetch();
    EXPECT_FALSE(service.pendingAnnouncement());

    // A newer one replaces one that was never shown; a failed fetch keeps it.
    pingAnswered(FakeHttpClient::ok(R"({"announceId": "n2", "announceText": "Two"})"));
    pingAnswered(FakeHttpClient::ok(R"({"announceId": "n3", "announceText": "Three"})"));
    pingAnswered(FakeHttpClient::failure("offline"));
    EXPECT_EQ(service.pendingAnnouncement()->id, "n3");
    EXPECT_EQ(applications, 6);
}

TEST_F(RemoteConfigServiceTest, aDestroyedServiceIgnoresLateAnswersAndStopsPinging)
{
    int pings = 0;
    {
        RemoteConfigService shortLived(http, dispatcher, store);
        Subscription sub = shortLived.pinged.subscribe([&] { ++pings; });
        shortLived.start();
    }
    http.deliver();
    dispatcher.advance(24 * 3600);
    EXPECT_EQ(pings, 0);
    EXPECT_EQ(dispatcher.pendingTimers(), 0u);
}

} // namespace
} // namespace zumo
