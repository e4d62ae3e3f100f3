// zumo and its network parts against a private zumo-vendor over HTTPS on loopback: the
// configuration demo, the ping chain through every kind of failed fetch, the events of a real
// run, "quit" against a server that never answers, and the log signature on the wire (nothing
// sent without consent is ShellE2e's).
#include <QCoreApplication>
#include <QFile>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/Listeners.h"
#include "platform/VendorService.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeDispatcher.h"
#include "desktop/qt/ProcessHttpClient.h"
#include "remote/RemoteConfig.h"
#include "remote/RemoteConfigService.h"
#include "settings/SettingsStore.h"
#include "telemetry/EventSender.h"
#include "telemetry/LogUploader.h"
#include "tests/e2e/E2eSupport.h"
#include "tests/vendor/testkit/NginxFrontEnd.h"
#include "tests/vendor/testkit/VendorServer.h"
#include "update/GuardedDownload.h"
#include "update/HttpUpdateTransport.h"
#include "update/ReleaseMaker.h"

namespace zumo::e2e {
namespace {

using test::VendorServer;

// Every request goes to a loopback port (the private service's unless told otherwise),
// whatever host the program would use; trusting the test CA, or (trustTestCa false) only the
// system's certificates, which do not sign it.
class LoopbackHttp final : public HttpClient {
public:
    explicit LoopbackHttp(const VendorServer& vendor)
        : port(vendor.port()), m_trusted(helper(), vendor.caPath()), m_system(helper())
    {
    }
    void send(HttpRequest r, Completion c) override { client().send(here(std::move(r)), std::move(c)); }
    std::optional<HttpResponse> sendAndWait(HttpRequest r, double maxWaitSec) override
    {
        return client().sendAndWait(here(std::move(r)), maxWaitSec);
    }
    int port;
    bool trustTestCa = true;

private:
    HttpRequest here(HttpRequest r) const
    {
        r.url.setHost(QStringLiteral("127.0.0.1"));
        r.url.setPort(port);
        return r;
    }
    // The running program's client: each request in a child of the network helper.
    static QString helper() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../../app/zumo-net"); }
    ProcessHttpClient& client() { return trustTestCa ? m_trusted : m_system; }
    ProcessHttpClient m_trusted;
    ProcessHttpClient m_system;
};

// Established connections from this machine to the port: a request that ended must have let
// go of its connection, or later requests queue behind it.
int openConnectionsTo(int port)
{
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        for (const QByteArray& line : test::readAll(QString::fromLatin1(table)).split('\n').mid(1)) {
            const QList<QByteArray> f = line.simplified().split(' ');
            count += f.size() > 3 && f[2].endsWith(suffix) && f[3] == "01";
        }
    }
    return count;
}

qsizetype eventsNamed(VendorServer& vendor, const QString& name)
{
    return vendor.events(QStringLiteral("event=") + name).value_or(QJsonArray()).size();
}

QJsonObject body(const QJsonValue& row)
{
    return QJsonDocument::fromJson(row.toObject()[QStringLiteral("body")].toString().toUtf8()).object();
}

// Each ping's fetch meets one misbehaving answer; every value stays, the next ping is armed
// with the same period, and the request lets go of its connection.
TEST(VendorE2eTest, thePingChainGoesOnThroughEveryFailedFetchAndChangesNothing)
{
    VendorServer vendor;
    ASSERT_TRUE(vendor.writeDataFile("zumo-config.json",
                                     R"({"pingMinutes": 30, "announceId": "a1", "announceText": "Hi", "telemetryPaused": true})"));
    ASSERT_TRUE(vendor.start()) << vendor.error().toStdString();
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("s.json"));
    FakeDispatcher dispatcher;  // the ping timer only; the network runs on the real event loop
    LoopbackHttp http(vendor);
    RemoteConfigService service(http, dispatcher, store);
    int applied = 0;
    Subscription counting = service.applied.subscribe([&] { ++applied; });
    RemoteConfig fast;
    fast.networkTimeoutSec = 0.5;  // below what the service may set, so time-outs cost little
    setRemoteConfig(fast);
    service.start();
    ASSERT_TRUE(waitUntil([&] { return applied == 1; }));
    const RemoteConfig before = remoteConfig();
    ASSERT_EQ(before.pingMinutes, 30);
    // From now on the service holds another document: any failure that applied it would show.
    vendor.writeDataFile("zumo-config.json", R"({"pingMinutes": 5, "telemetryPaused": false, "announceText": "Bye"})");

    // Accepts connections and never speaks: the request ends in its TLS handshake.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    enum Peer { Vendor, Untrusted, Silent };
    const struct {
        const char* rule;
        Peer peer = Vendor;
    } failures[] = {
        {"status=500"}, {"status=304"}, {"status=201"}, {"redirect=/api/zumo-config"},
        {"delay=3000"},                  // no status line within the idle time-out
        {"drip=100"},                    // a byte every 100 ms: only the overall deadline ends it
        {"malformed=notjson"}, {"malformed=truncated"}, {"malformed=notobject"}, {"malformed=empty"},
        {"malformed=binary"}, {"oversize=52428800"}, {"oversize=52428800&chunked=1"},
        {"", Untrusted},                 // a certificate zumo does not trust
        // Seven: more than the six connections a host gets, were any of them kept.
        {"", Silent}, {"", Silent}, {"", Silent}, {"", Silent}, {"", Silent}, {"", Silent}, {"", Silent},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(std::string(failure.rule) + " peer " + std::to_string(failure.peer));
        if (*failure.rule) {
            ASSERT_TRUE(vendor.setSwitch("/api/zumo-config", QString::fromLatin1(failure.rule) + "&times=1"));
        }
        http.trustTestCa = failure.peer != Untrusted;
        http.port = failure.peer == Silent ? silent.serverPort() : vendor.port();
        const int fetches = applied;
        dispatcher.advance(30 * 60);
        ASSERT_TRUE(waitUntil([&] { return applied == fetches + 1; }, 10000));
        EXPECT_EQ(remoteConfig(), before);
        EXPECT_EQ(dispatcher.pendingTimers(), 1u);
        EXPECT_EQ(dispatcher.lastTimerDelay(), 30 * 60);
        // An ended request holds no connection, or a few such ends would leave none for the next.
        EXPECT_TRUE(waitUntil([&] { return openConnectionsTo(http.port) == 0; }, 2000));
    }
    vendor.clearSwitches();
    http.trustTestCa = true;
    http.port = vendor.port();
    dispatcher.advance(30 * 60);
    ASSERT_TRUE(waitUntil([&] { return applied == int(std::size(failures)) + 2; }, 10000));
    EXPECT_EQ(remoteConfig().pingMinutes, 5);
    EXPECT_EQ(dispatcher.lastTimerDelay(), 5 * 60);
    setRemoteConfig(RemoteConfig());
}

// Production's layout on loopback: nginx with the shipped configuration in front of two
// zumo-vendor processes on one PostgreSQL. The application's configuration fetch, update check
// and download, and its events all go through it; nginx serves the release file itself.
TEST(VendorE2eTest, theApplicationWorksThroughNginxInFrontOfTwoServicesOnPostgres)
{
    ZUMO_REQUIRE_POSTGRES(db);
    const QByteArray image = QByteArray(300000, 'z') + "end";
    VendorServer first, second;
    test::NginxFrontEnd nginx;
    ASSERT_TRUE(first.writeReleaseFile("Zumo-9.0.tar.gz", image));
    for (VendorServer* vendor : {&first, &second}) {
        vendor->usePostgres(db.conninfo);
        ASSERT_TRUE(vendor->writeDataFile("zumo-config.json", R"({"pingMinutes": 45})"));
        // Behind the proxy every connection comes from it: nginx limits each address instead.
        ASSERT_TRUE(vendor->start({"--connections-per-address", "0", "--events-per-address-minute", "0"}))
            << vendor->error().toStdString();
    }
    ASSERT_TRUE(nginx.start({first.port(), second.port()}, first.dataDir() + "/releases"))
        << nginx.error().toStdString();
    const QUrl imageUrl(QStringLiteral("https://127.0.0.1:%1/dl/zumo/Zumo-9.0.tar.gz").arg(nginx.port()));
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    for (VendorServer* vendor : {&first, &second})
        ASSERT_TRUE(vendor->writeDataFile("latest.json", Updater::manifestJson("9.0", imageUrl, digest, {})));
    LoopbackHttp http(first);
    http.port = nginx.port();

    QTemporaryDir dir;
    SettingsStore store(dir.filePath("s.json"));
    store.setValue("consentVersion", 1);
    FakeDispatcher dispatcher;
    RemoteConfigService config(http, dispatcher, store);
    int applied = 0;
    Subscription counting = config.applied.subscribe([&] { ++applied; });
    config.start();
    ASSERT_TRUE(waitUntil([&] { return applied == 1; }));
    EXPECT_EQ(remoteConfig().pingMinutes, 45);
    setRemoteConfig(RemoteConfig());

    HttpUpdateTransport transport{http, {QUrl("https://127.0.0.1/dl/zumo/latest.json"), "127.0.0.1", "Zumo/9", {}}};
    std::optional<Updater::CheckResult> check;
    transport.fetchLatestRelease(10, [&](Updater::CheckResult result) { check = result; });
    ASSERT_TRUE(waitUntil([&] { return check.has_value(); }));
    ASSERT_TRUE(check->release) << check->failure.toStdString();
    EXPECT_EQ(check->release->url, imageUrl);
    std::optional<DownloadOutcome> download;
    auto guarded = GuardedDownload::make(1e6, "127.0.0.1", [&](DownloadOutcome outcome) { download = outcome; });
    guarded->start(transport, {imageUrl, 10, false}, dir.path());
    ASSERT_TRUE(waitUntil([&] { return download.has_value(); }));
    ASSERT_FALSE(download->error) << download->error->toStdString();
    EXPECT_EQ(test::readAll(download->file), image);
    EXPECT_EQ(first.requests("/dl/zumo/Zumo-9.0.tar.gz")->size(), 0) << "nginx serves release files itself";

    FakeClock clock;
    EventSender sender(http, store, clock, eventsUrl());
    int delivered = 0;
    for (int i = 0; i < 6; ++i)
        sender.sendEvent("ping", {{"n", i}}, false, [&] { ++delivered; });
    ASSERT_TRUE(waitUntil([&] { return delivered == 6; }));
    EXPECT_EQ(first.eventCount(), 6); // one table behind both
    EXPECT_GT(first.requests("/api/t")->size(), 0);
    EXPECT_GT(second.requests("/api/t")->size(), 0);
}

// First the configuration demo: it fetches over TLS and prints what it got (the clamps and the
// printed form have unit tests, an untrusted certificate is one of the ping chain's failures).
TEST(VendorE2eTest, theDemoPrintsTheConfigurationAndARunSendsLaunchAndLogsAndItsQuitArrives)
{
    ZUMO_REQUIRE_SESSION();
    VendorServer vendor;
    ASSERT_TRUE(vendor.writeDataFile("zumo-config.json", R"({"pingMinutes": 5, "announceId": "a1"})"));
    ASSERT_TRUE(vendor.start()) << vendor.error().toStdString();
    ZumoProcess demo;
    ASSERT_TRUE(demo.start({"--remote-config-demo"}, vendor.environment()));
    ASSERT_TRUE(demo.waitForExit(15000));
    EXPECT_EQ(demo.process().exitCode(), 0);
    EXPECT_TRUE(demo.output().startsWith("pingMinutes=5.0 announceId=\"a1\" ")) << demo.output().toStdString();
    ASSERT_TRUE(QFile::remove(vendor.dataDir() + "/zumo-config.json")); // the run gets none, so shows no announcement

    ZumoProcess zumo;
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), setUpUser()));
    const qint64 started = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(zumo.start({}, vendor.environment()));
    ASSERT_TRUE(zumo.waitForReady());
    ASSERT_TRUE(waitUntil([&] { return eventsNamed(vendor, "launch") == 1 && eventsNamed(vendor, "logs") == 1; }));
    const QJsonObject launch = body(vendor.events("event=launch")->at(0));
    EXPECT_EQ(launch["app"], "Zumo");
    EXPECT_EQ(launch["version"], ZUMO_VERSION);
    EXPECT_FALSE(launch["os"].toString().isEmpty());
    EXPECT_GE(launch["ts"].toInteger(), started);
    for (const char* key : {"device", "settings", "stats", "session"})
        EXPECT_TRUE(launch.contains(key)) << key;

    zumo.stop();
    EXPECT_EQ(zumo.process().exitStatus(), QProcess::NormalExit);
    ASSERT_TRUE(waitUntil([&] { return eventsNamed(vendor, "quit") == 1 && eventsNamed(vendor, "logs") == 2; }));
    const QJsonObject settings = readSettings(zumo.configHome());
    EXPECT_EQ(body(vendor.events("event=quit")->at(0))["install"], settings["installID"]);
    EXPECT_EQ(launch["install"], settings["installID"]);
    // The log changed by the time of quit ("terminate"), so it went again, and its signature
    // is the one remembered.
    const QJsonObject logs = body(vendor.events("event=logs")->at(1));
    EXPECT_TRUE(logs["log"].toString().contains("terminate"));
    // The signature covers what the uploader sent, not the envelope around it.
    const QJsonObject sent{{"log", logs["log"]}, {"crash", logs["crash"]}, {"reports", logs["reports"]}};
    EXPECT_EQ(settings["logSig"].toString(), logSignature(sent));
}

TEST(VendorE2eTest, quitAndTheLastUploadGiveUpOnAServerThatNeverAnswers)
{
    ZUMO_REQUIRE_SESSION();
    VendorServer vendor;
    ASSERT_TRUE(vendor.start({"--switch", "/api/t?delay=60000"})) << vendor.error().toStdString();
    ZumoProcess zumo;
    ASSERT_NO_FATAL_FAILURE(writeSettings(zumo.configHome(), setUpUser()));
    ASSERT_TRUE(zumo.start({}, vendor.environment()));
    ASSERT_TRUE(zumo.waitForReady());
    const auto posts = [&] { return vendor.requests("/api/t").value_or(QJsonArray()); };
    ASSERT_TRUE(waitUntil([&] { return posts().size() == 2; }));  // "launch" and "logs", unanswered
    zumo.process().terminate();
    ASSERT_TRUE(zumo.waitForExit(15000)) << "quit waited for a server that never answers";
    EXPECT_EQ(zumo.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(posts().size(), 4) << "\"quit\" and the forced upload after it";
}

} // namespace
} // namespace zumo::e2e
