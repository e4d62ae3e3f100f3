// The announcement rule and a service's end, over the fake HTTP client and dispatcher (the fetch,
// its application and the ping chain through every kind of failed fetch: tests/e2e/VendorE2eTest).
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

TEST_F(RemoteConfigServiceTest, anAnnouncementIsPendingOncePerIdAndNeedsBothFields)
{
    int applications = 0;
    Subscription sub = service.applied.subscribe([&] { ++applications; });
    answerWith(FakeHttpClient::ok(R"({"announceId": "n1", "announceText": ""})"));
    service.start();
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_TRUE(http.requests[0].ignoreCache);  // the rest of the request, over the wire: VendorE2eTest
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
