// The vendor service over real HTTPS on loopback, trusted through the test CA: what it serves,
// what it stores, and that every test switch does what it says.
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <csignal>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <httplib.h>

#include "tests/support/TestFiles.h"
#include "tests/vendor/testkit/VendorServer.h"

using zumo::test::VendorServer;

namespace {

const QByteArray Config = R"({"pingMinutes": 30, "announceId": "a1", "announceText": "Hello"})";
const QByteArray Manifest = R"({"version":"2.0","url":"https://127.0.0.1/dl/zumo/Zumo-2.0.tar","sha256":"ab"})";

class VendorServiceTest : public ::testing::Test {
protected:
    // A refused upload ends in a closed connection: a write to it must fail, not end the test.
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }

    void start(const QStringList& arguments = {})
    {
        ASSERT_TRUE(vendor.writeDataFile("zumo-config.json", Config));
        ASSERT_TRUE(vendor.writeDataFile("latest.json", Manifest));
        ASSERT_TRUE(vendor.start(arguments)) << vendor.error().toStdString();
    }

    std::unique_ptr<httplib::SSLClient> client(int readTimeoutSec = 10)
    {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", vendor.port());
        c->set_ca_cert_path(vendor.caPath().toStdString().c_str());
        c->enable_server_certificate_verification(true);
        c->set_read_timeout(readTimeoutSec, 0);
        return c;
    }

    httplib::Result get(const std::string& path, const httplib::Headers& headers = {})
    {
        return client()->Get(path.c_str(), headers);
    }

    httplib::Result post(const std::string& body) { return client()->Post("/api/t", body, "application/json"); }

    VendorServer vendor;
};

TEST_F(VendorServiceTest, servesConfigurationReleaseFilesAndNothingElseOnlyOverHttps)
{
    QByteArray image(300000, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7);
    ASSERT_TRUE(vendor.writeReleaseFile("Zumo-2.0.tar", image));
    ASSERT_TRUE(vendor.writeDataFile("secret.txt", "not for download"));
    ASSERT_TRUE(QFile::link(vendor.dataDir() + "/secret.txt", vendor.dataDir() + "/releases/link.tar"));
    start();
    auto config = get("/api/zumo-config", {{"User-Agent", "Zumo/2.4.1"}});
    ASSERT_TRUE(config);
    EXPECT_EQ(config->status, 200);
    EXPECT_EQ(QByteArray::fromStdString(config->body), Config);
    std::string tag = config->get_header_value("ETag");
    ASSERT_FALSE(tag.empty());

    auto unchanged = get("/api/zumo-config", {{"If-None-Match", tag}});
    EXPECT_EQ(unchanged->status, 304);
    EXPECT_TRUE(unchanged->body.empty());

    ASSERT_TRUE(vendor.writeDataFile("zumo-config.json", R"({"pingMinutes": 60})"));
    auto changed = get("/api/zumo-config", {{"If-None-Match", tag}});
    EXPECT_EQ(changed->status, 200);
    EXPECT_NE(changed->get_header_value("ETag"), tag);

    // The request log shows what the client really sent.
    auto seen = vendor.requests("/api/zumo-config");
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->size(), 3);
    EXPECT_EQ(seen->at(0)["headers"]["User-Agent"].toString(), "Zumo/2.4.1");

    EXPECT_EQ(client()->Head("/dl/zumo/Zumo-2.0.tar")->get_header_value("Content-Length"), "300000");
    EXPECT_EQ(QByteArray::fromStdString(get("/dl/zumo/Zumo-2.0.tar")->body), image);
    for (const char* path : {"/dl/zumo/link.tar", "/dl/zumo/..%2Fsecret.txt", "/dl/zumo/.hidden", "/dl/zumo/missing"})
        EXPECT_EQ(get(path)->status, 404) << path;
    EXPECT_NE(get("/privacy")->body.find("privacy"), std::string::npos);
    EXPECT_EQ(get("/zumo")->status, 200);

    httplib::Client plain("127.0.0.1", vendor.port());
    plain.set_read_timeout(5, 0);
    auto refused = plain.Get("/api/zumo-config");
    EXPECT_TRUE(!refused || refused->status != 200);
}

// The engines themselves: EventStoreTest, on SQLite and on PostgreSQL.
TEST_F(VendorServiceTest, storesEachPostedEventWithItsFields)
{
    start({"--max-event-bytes", "4096"});
    std::string launch = R"({"app":"Zumo","event":"launch","install":"6F9619FF-8B86-D011-B42D-00C04FC964FF","ts":1})";
    EXPECT_EQ(post(launch)->status, 204);
    EXPECT_EQ(post(R"({"event":"quit","install":"other"})")->status, 204);
    EXPECT_EQ(post("[1,2]")->status, 400);
    EXPECT_EQ(post("{\"event\":\"logs\",\"pad\":\"" + std::string(5000, 'x') + "\"}")->status, 413);

    EXPECT_EQ(vendor.eventCount(), 2);
    auto launches = vendor.events("event=launch");
    ASSERT_TRUE(launches);
    ASSERT_EQ(launches->size(), 1);
    QJsonObject stored = launches->at(0).toObject();
    EXPECT_EQ(stored["install"].toString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(stored["body"].toString().toStdString(), launch);
    EXPECT_GT(stored["receivedMs"].toInteger(), 1700000000000);
}

qint64 peakMemoryKb(qint64 pid)
{
    for (const QByteArray& line : zumo::test::readAll(QStringLiteral("/proc/%1/status").arg(pid)).split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// However a body is framed or encoded, the service reads no more than the cap of it.
TEST_F(VendorServiceTest, refusesOversizedChunkedAndCompressedBodiesWithoutHoldingThem)
{
    start();
    const std::string piece(64 * 1024, 'x');
    const auto chunked = [&](const char* path) {
        return client()->Post(path, [&](size_t offset, httplib::DataSink& sink) {
            // 64 MiB in all unless the service stops reading first.
            if (offset >= (64u << 20))
                sink.done();
            return offset >= (64u << 20) || sink.write(piece.data(), piece.size());
        }, "application/json");
    };
    for (const char* path : {"/api/t", "/admin/switch"}) {
        auto result = chunked(path);
        EXPECT_TRUE(!result || result->status == 413) << path << " " << result->status;
    }
    for (const char* encoding : {"gzip", "br", "deflate"}) {
        auto result = client()->Post("/api/t", {{"Content-Encoding", encoding}}, R"({"event":"x"})", "application/json");
        ASSERT_TRUE(result) << encoding;
        EXPECT_EQ(result->status, 415) << encoding;
    }
    EXPECT_EQ(vendor.eventCount(), 0);
#ifndef __SANITIZE_ADDRESS__
    qint64 peak = peakMemoryKb(vendor.processId());
    std::printf("[ measured ] zumo-vendor peak RSS after 2 x 64 MiB chunked and 3 compressed bodies: %lld KiB\n", peak);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 40 * 1024);
#endif
}

// Connections that never finish a request take a few workers at most: one address holds 8,
// and the others' requests go on.
TEST_F(VendorServiceTest, slowClientsLeaveTheConfigurationAnswering)
{
    start();
    // They come at once while the service is stopped, as a front end's burst does: the
    // system's queue must hold them all until it accepts.
    ::kill(pid_t(vendor.processId()), SIGSTOP);
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 64; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->bind(QHostAddress(QStringLiteral("127.0.0.2")));
        slow.back()->connectToHost(QHostAddress::LocalHost, quint16(vendor.port()));
    }
    const auto connected = std::count_if(slow.begin(), slow.end(), [](auto& socket) {
        // The start of a TLS record, and nothing more.
        return socket->waitForConnected(3000) && socket->write("\x16\x03\x01") == 3 && socket->waitForBytesWritten(1000);
    });
    ::kill(pid_t(vendor.processId()), SIGCONT);
    EXPECT_EQ(connected, 64);
    // Below the service's own 5 s read time-out: only free workers answer this fast.
    auto config = client(3)->Get("/api/zumo-config");
    ASSERT_TRUE(config) << httplib::to_string(config.error());
    EXPECT_EQ(config->status, 200);
    std::printf("[ measured ] zumo-vendor peak RSS with 64 slow clients: %lld KiB\n", peakMemoryKb(vendor.processId()));
}

// A database that accepts connections and never answers: reads go on, events are refused
// within the writer's deadline, and at once after the first.
TEST_F(VendorServiceTest, aDatabaseThatNeverAnswersLeavesReadsAnsweringAndRefusesEvents)
{
    QTcpServer blackhole;
    ASSERT_TRUE(blackhole.listen(QHostAddress::LocalHost));
    blackhole.pauseAccepting();
    vendor.usePostgres(QStringLiteral("host=127.0.0.1 port=%1 user=zumo dbname=zumo connect_timeout=2")
                           .arg(blackhole.serverPort()));
    start();
    EXPECT_EQ(get("/api/zumo-config")->status, 200);
    for (int i = 0; i < 2; ++i) {
        auto event = client(5)->Post("/api/t", R"({"event":"launch"})", "application/json");
        ASSERT_TRUE(event) << i << " " << httplib::to_string(event.error());
        EXPECT_EQ(event->status, 503) << i;
    }
    EXPECT_EQ(get("/dl/zumo/latest.json")->status, 200);
    EXPECT_EQ(get("/privacy")->status, 200);
    std::printf("[ measured ] zumo-vendor peak RSS with its database a black hole: %lld KiB\n",
                peakMemoryKb(vendor.processId()));
}

TEST_F(VendorServiceTest, theAdminApiNeedsItsToken)
{
    start();
    const struct {
        std::string authorization;
        int status;
    } cases[] = {{"", 401}, {"Bearer wrong", 401}, {"Bearer " + vendor.adminToken() + "x", 401},
                 {vendor.adminToken(), 401}, {"Bearer " + vendor.adminToken(), 200}};
    for (const auto& c : cases) {
        httplib::Headers headers;
        if (!c.authorization.empty())
            headers.emplace("Authorization", c.authorization);
        EXPECT_EQ(get("/admin/events/count", headers)->status, c.status) << c.authorization;
    }
    QProcess process;
    process.start(QStringLiteral(ZUMO_VENDOR_BIN_FOR_TESTS), {"--cert", "c", "--key", "k", "--data", "d", "--admin"});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_NE(process.readAllStandardError().indexOf("--admin-token-file"), -1);
}

} // namespace
