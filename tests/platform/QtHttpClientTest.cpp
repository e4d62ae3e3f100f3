// The Qt client's own guards, seen without a web server: plain http is refused, and a server
// that accepts the connection but never answers cannot hold a caller past its limits.
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include "desktop/qt/QtHttpClient.h"

namespace zumo {
namespace {

// Accepts connections and keeps them open without a byte of TLS.
struct SilentServer {
    QTcpServer server;
    QList<QTcpSocket*> kept;
    SilentServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (auto* s = server.nextPendingConnection())
                kept << s;
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("https://127.0.0.1:%1/api/t").arg(server.serverPort())); }
};

HttpResponse sendAndRun(QtHttpClient& client, HttpRequest request)
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

TEST(QtHttpClientTest, plainHttpIsRefusedWithoutConnectingAndNoFileIsLeft)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    QtHttpClient client;
    HttpRequest request;
    request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(server.serverPort()));
    request.saveTo = dir.filePath("image");
    const HttpResponse r = sendAndRun(client, request);
    EXPECT_FALSE(r.answered());
    EXPECT_TRUE(r.error.contains("https")) << r.error.toStdString();
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(QFile::exists(dir.filePath("image")));
}

TEST(QtHttpClientTest, aSilentServerEndsTheRequestByTheIdleTimeOut)
{
    SilentServer silent;
    QtHttpClient client;
    HttpRequest request;
    request.url = silent.url();
    request.idleTimeoutSec = 0.2;
    const HttpResponse r = sendAndRun(client, request);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.error.contains("no data")) << r.error.toStdString();
}

TEST(QtHttpClientTest, waitingOnTheMainThreadReturnsWhenTheWaitRunsOutAndTheRequestLeft)
{
    SilentServer silent;
    QtHttpClient client;
    HttpRequest request;
    request.method = "POST";
    request.url = silent.url();
    request.body = "{}";
    const auto r = client.sendAndWait(request, 0.3);
    EXPECT_FALSE(r.has_value());
    // The connection was made during the wait: the request did not sit behind a blocked loop.
    ASSERT_FALSE(silent.kept.isEmpty());
    // Given up on, the request lets go of its connection at once, not at its own time-out (10 s).
    QTcpSocket* connection = silent.kept.first();
    QEventLoop loop;
    QObject::connect(connection, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    if (connection->state() == QAbstractSocket::ConnectedState)
        loop.exec();
    EXPECT_NE(connection->state(), QAbstractSocket::ConnectedState);
}

} // namespace
} // namespace zumo
