// Usage events (the gates, delivery and the wait at quit), the "logs" upload (the gates,
// redaction, the tail's change and the last three reports), and redaction and tails themselves.
// Over the wire and waited for at quit: tests/e2e/VendorE2eTest; a FIFO in the log's place that
// must not block the tail's reader, and with it the quit: tests/e2e/FilesE2eTest.
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/VendorService.h"
#include "remote/RemoteConfig.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventSender.h"
#include "telemetry/LogUploader.h"
#include "telemetry/Redact.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "tests/fakes/FakeHttpClient.h"
#include "tests/support/TestFiles.h"

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

class LogUploaderTest : public EventSenderTest {
protected:
    void SetUp() override
    {
        EventSenderTest::SetUp();
        test::writeAll(dir.filePath("events.log"), "2026-03-05T14:03:07Z start zumo on kestrel /home/ann/x\n");
    }

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

    FakeDispatcher dispatcher;
    int drains = 0;
    QTemporaryDir systemReports;
    LogUploader uploader{sender, store, dispatcher, dir.path(), [this] { ++drains; },
                         RedactionFacts{"/home/ann", "Ann Smith", "ann", "kestrel"}, systemReports.path()};
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

// Sent once until it changes (a log past its tail size too), and again after a refused delivery.
TEST_F(LogUploaderTest, aLogIsSentOnceUntilItChangesAndAgainAfterARefusedDelivery)
{
    const QByteArray line(99, 'x');
    QByteArray big;
    for (int i = 0; i < 3000; ++i)
        big += line + '\n';
    test::writeAll(dir.filePath("events.log"), big);
    EXPECT_EQ(upload(), 1u);
    EXPECT_EQ(upload(), 0u) << "unchanged logs are not sent again";
    test::writeAll(dir.filePath("events.log"), big + "2026-03-05T14:03:07Z a new line\n");
    http.respond = [](const HttpRequest&) { return std::optional(FakeHttpClient::ok({}, 500)); };
    EXPECT_EQ(upload(), 1u) << "the tail has the same length but other contents";
    http.respond = [](const HttpRequest&) { return std::optional(FakeHttpClient::ok({})); };
    EXPECT_EQ(upload(), 1u) << "the refused upload was not remembered";
    EXPECT_EQ(upload(), 0u);
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

TEST(RedactTest, homePathsNamesAndHostAreMasked)
{
    const RedactionFacts ann{"/home/ann", "Ann Smith", "ann", "kestrel"};
    EXPECT_EQ(redact("/home/ann/Library and /home/bob/x and /Users/bob/y", ann),
              "~/Library and /home/<user>/x and /Users/<user>/y");
    EXPECT_EQ(redact("Ann Smith on kestrel as ann: \"/home/carol\" '/Users/dave'", ann),
              "<user> on <host> as <user>: \"/home/<user>\" '/Users/<user>'");
    // Short values would mangle ordinary words: only the path rule applies.
    const RedactionFacts short_{"", "Al", "al", "pc"};
    EXPECT_EQ(redact("always /home/al/file on pc", short_), "always /home/<user>/file on pc");
    EXPECT_EQ(redact("/Users/ann/Library", {"/Users/ann", "", "ann", ""}), "~/Library");
    EXPECT_EQ(redact("/home/ and /Users/", ann), "/home/ and /Users/");
}

TEST(RedactTest, tailsKeepTheLastBytesAndReplaceBrokenCharacters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("events.log");
    EXPECT_EQ(readTail(path, 10), "");
    test::writeAll(path, "abc\xE2\x86\x92xyz");  // "→" is three bytes
    EXPECT_EQ(readTail(path, 100), QString::fromUtf8("abc\xE2\x86\x92xyz"));
    EXPECT_EQ(readTail(path, 5), QString(QChar(0xFFFD)) + QChar(0xFFFD) + "xyz");
    EXPECT_EQ(readTail(path, 0), "");
}

} // namespace
} // namespace zumo
