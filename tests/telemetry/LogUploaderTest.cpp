// The "logs" upload: the gates, redaction, the tail's change and the last three reports (once per
// change, waited for at quit and sent again after a failed delivery: tests/e2e/VendorE2eTest).
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/VendorService.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeHttpClient.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventSender.h"
#include "telemetry/LogUploader.h"
#include "tests/support/TestFiles.h"

namespace zumo {
namespace {

class LogUploaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRemoteConfig(RemoteConfig());
        store.setValue("consentVersion", 1);
        test::writeAll(dir.filePath("events.log"), "2026-03-05T14:03:07Z start zumo on kestrel /home/ann/x\n");
    }
    void TearDown() override { setRemoteConfig(RemoteConfig()); }

    // Runs an unforced upload to the end and returns how many "logs" requests it made.
    std::size_t upload()
    {
        const std::size_t before = http.requests.size();
        uploader.uploadLogs(false);
        dispatcher.runAll();
        http.deliver();
        return http.requests.size() - before;
    }
    QJsonObject lastSent() const { return QJsonDocument::fromJson(http.requests.back().body).object(); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("s.json")};
    FakeClock clock;
    FakeDispatcher dispatcher;
    FakeHttpClient http;
    EventSender sender{http, store, clock, eventsUrl()};
    int drains = 0;
    QTemporaryDir systemReports;
    LogUploader uploader{sender, store, dispatcher, dir.path(), [this] { ++drains; },
                         RedactionFacts{"/home/ann", "Ann Smith", "ann", "kestrel"}, systemReports.path()};
};

TEST_F(LogUploaderTest, aLogPastItsTailSizeIsSentAgainAfterNewLines)
{
    const QByteArray line(99, 'x');
    QByteArray big;
    for (int i = 0; i < 3000; ++i)
        big += line + '\n';
    test::writeAll(dir.filePath("events.log"), big);
    EXPECT_EQ(upload(), 1u);
    test::writeAll(dir.filePath("events.log"), big + "2026-03-05T14:03:07Z a new line\n");
    EXPECT_EQ(upload(), 1u) << "the tail has the same length but other contents";
}

// Without consent nothing at all is sent: ShellE2e, against a listening vendor.
TEST_F(LogUploaderTest, nothingIsReadOrSentWhilePaused)
{
    RemoteConfig paused;
    paused.logUploadPaused = true;
    setRemoteConfig(paused);
    EXPECT_EQ(upload(), 0u);
    uploader.uploadLogs(true);
    EXPECT_EQ(drains, 0);
    EXPECT_TRUE(http.requests.empty());
}

TEST_F(LogUploaderTest, onlyTheLastThreeReportsByNameAreSentWithOnesNotCollectedYet)
{
    for (const char* name : {"zumo-d.ips", "zumo-b.ips", "zumo-a.ips"})
        test::writeAll(dir.filePath(QStringLiteral("reports/") + name), QByteArray("report ") + name);
    test::writeAll(systemReports.filePath("zumo-c.ips"), "report zumo-c.ips");
    EXPECT_EQ(upload(), 1u);
    EXPECT_EQ(drains, 1) << "the log queue is drained before reading";
    EXPECT_EQ(lastSent()["log"], "2026-03-05T14:03:07Z start zumo on <host> ~/x\n");
    const QJsonArray reports = lastSent()["reports"].toArray();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[0].toObject(), QJsonObject({{"name", "zumo-b.ips"}, {"content", "report zumo-b.ips"}}));
    EXPECT_EQ(reports[1].toObject()["name"], "zumo-c.ips") << "collected before the read";
    EXPECT_EQ(reports[2].toObject()["name"], "zumo-d.ips");
    EXPECT_TRUE(store.value("logSig").toString().startsWith("46-0-3-"));
}

} // namespace
} // namespace zumo
