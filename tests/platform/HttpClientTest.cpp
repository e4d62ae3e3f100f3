// Both clients' own guards, seen without a web server: plain http is refused, and a server that
// never answers cannot hold a caller past its wait (past the idle time-out: VendorE2eTest's ping
// chain). The client of the running program (a child per request) also ends a request whose
// child misbehaves.
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include "desktop/qt/ProcessHttpClient.h"

namespace zumo {
namespace {

HttpResponse sendAndRun(HttpClient& client, HttpRequest request)
{
    QEventLoop loop;
    HttpResponse result;
    int calls = 0;
    client.send(std::move(request), [&](const HttpResponse& r) {
        result = r;
        ++calls;
        loop.quit();
    });
    if (calls == 0)
        loop.exec();
    EXPECT_EQ(calls, 1);
    return result;
}

// The running program's client (each request in a child of the network helper, which runs the
// in-process client, so both are seen at once).
TEST(HttpClientTest, plainHttpIsRefusedWithoutConnectingAndNoFileIsLeft)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    ProcessHttpClient client(QStringLiteral(ZUMO_NET));
    HttpRequest request;
    request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(server.serverPort()));
    request.saveTo = dir.filePath("image");
    const HttpResponse r = sendAndRun(client, request);
    EXPECT_FALSE(r.answered());
    EXPECT_TRUE(r.error.contains("https")) << r.error.toStdString();
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(QFile::exists(dir.filePath("image")));
}

TEST(HttpClientTest, waitingOnTheMainThreadReturnsWhenTheWaitRunsOutAndTheRequestLeft)
{
    // Accepts connections and keeps them open without a byte of TLS.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> kept;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (auto* s = silent.nextPendingConnection())
            kept << s;
    });
    ProcessHttpClient client(QStringLiteral(ZUMO_NET));
    HttpRequest request;
    request.method = "POST";
    request.url = QUrl(QStringLiteral("https://127.0.0.1:%1/api/t").arg(silent.serverPort()));
    request.body = "{}";
    const auto r = client.sendAndWait(request, 0.3);
    EXPECT_FALSE(r.has_value());
    // The connection was made during the wait: the request did not sit behind a blocked loop.
    ASSERT_FALSE(kept.isEmpty());
    // Given up on, the request lets go of its connection at once, not at its own time-out (10 s).
    QTcpSocket* connection = kept.first();
    QEventLoop loop;
    QObject::connect(connection, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    if (connection->state() == QAbstractSocket::ConnectedState)
        loop.exec();
    EXPECT_NE(connection->state(), QAbstractSocket::ConnectedState);
}

// A child that dies, ends, writes garbage or hangs ends its request once with a clear error,
// and the download file it was filling is gone.
TEST(ProcessHttpClientTest, aMisbehavingChildEndsTheRequestWithAClearError)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        const char* script;  // the helper; empty: there is none
        const char* error;
    } cases[] = {
        {"killed", "kill -9 $$", "died without an answer"},
        {"exits", "exit 3", "ended without an answer (exit code 3)"},
        {"garbage", "read request; echo 'HTTP/1.1 200 OK'; exec sleep 60", "unreadable line"},
        {"hangs", "exec sleep 60", "no complete answer within 0.3 seconds"},
        {"missing", "", "cannot find the network helper"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString helper = dir.filePath(QString::fromLatin1(c.name));
        if (*c.script) {
            QFile file(helper);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("#!/bin/sh\n") + c.script + "\n");
            file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        ProcessHttpClient client(helper);
        HttpRequest request;
        request.url = QUrl(QStringLiteral("https://127.0.0.1:9/image"));
        request.deadlineSec = 0.3;
        request.saveTo = dir.filePath(QStringLiteral("image"));
        const HttpResponse r = sendAndRun(client, request);
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.error))) << r.error.toStdString();
        EXPECT_FALSE(QFile::exists(request.saveTo));
    }
}

} // namespace
} // namespace zumo
