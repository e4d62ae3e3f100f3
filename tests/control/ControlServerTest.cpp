#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/fakes/FakeDispatcher.h"
#include "control/ControlServer.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

using namespace zumo;

namespace {

class ControlServerTest : public ::testing::Test {
protected:
    QString path() const { return dir.path() + QStringLiteral("/zumo/control"); }

    bool listen()
    {
        QString error;
        const bool ok = server.listen(path(), error);
        EXPECT_TRUE(ok) << qPrintable(error);
        return ok;
    }

    // Connects, sends bytes and returns everything the server wrote before it hung up.
    QByteArray exchange(const QByteArray& bytes)
    {
        QLocalSocket client;
        client.connectToServer(path());
        EXPECT_TRUE(test::eventsUntil([&] { return client.state() == QLocalSocket::ConnectedState; }));
        client.write(bytes);
        QByteArray answer;
        test::eventsUntil([&] {
            answer += client.readAll();
            return client.state() == QLocalSocket::UnconnectedState;
        });
        return answer + client.readAll();
    }

    QTemporaryDir dir;
    FakeDispatcher dispatcher;
    std::vector<ControlRequest> handled;
    QByteArray body = "body\n";
    ControlServer server{dispatcher, [this](const ControlRequest& request, ControlServer::Respond respond) {
                             handled.push_back(request);
                             respond(okReply(body));
                         }};
};

} // namespace

// A request that reaches the handler and its reply the client: SwitcherE2e, over the real socket.
TEST_F(ControlServerTest, malformedAndOversizedRequestsGetAnErrorAndNeverReachTheHandler)
{
    ASSERT_TRUE(listen());
    EXPECT_EQ(test::modeOf(dir.path() + QStringLiteral("/zumo")), 0700);
    EXPECT_TRUE(exchange("frobnicate\n").startsWith("error unknown request \"frobnicate\""));
    const QByteArray huge(1 << 20, 'x');  // no line feed: refused once the limit is reached
    EXPECT_EQ(exchange(huge), "error request longer than 256 bytes\n");
    EXPECT_TRUE(handled.empty());
    EXPECT_TRUE(test::eventsUntil([&] { return server.clientCount() == 0; }));
    EXPECT_EQ(exchange("sync\n"), "ok\nbody\n");  // still serving
    EXPECT_EQ(handled, std::vector<ControlRequest>{ControlRequest{ControlVerb::sync}});
    body = QByteArray(8 << 20, 'r') + '\n';  // far more than the socket holds: sent as the client reads
    EXPECT_EQ(exchange("list\n"), "ok\n" + body);
    EXPECT_TRUE(test::eventsUntil([&] { return server.clientCount() == 0; }));
}

TEST_F(ControlServerTest, aClientThatNeverWritesIsDroppedWhenItsTimeRunsOut)
{
    ASSERT_TRUE(listen());
    QLocalSocket silent;
    silent.connectToServer(path());
    ASSERT_TRUE(test::eventsUntil([&] { return server.clientCount() == 1; }));
    dispatcher.advance(ControlServer::RequestTimeout);
    QByteArray answer;
    ASSERT_TRUE(test::eventsUntil([&] {
        answer += silent.readAll();
        return silent.state() == QLocalSocket::UnconnectedState;
    }));
    EXPECT_EQ(answer + silent.readAll(), "error no request within 2 seconds\n");
    EXPECT_TRUE(test::eventsUntil([&] { return server.clientCount() == 0; }));
    EXPECT_EQ(dispatcher.pendingTimers(), 0u);
}

TEST_F(ControlServerTest, aFolderThatIsALinkOrNotPrivateIsRefusedWithTheReason)
{
    ASSERT_TRUE(QDir().mkpath(dir.path() + QStringLiteral("/elsewhere")));
    ASSERT_TRUE(QFile::link(dir.path() + QStringLiteral("/elsewhere"), dir.path() + QStringLiteral("/zumo")));
    QString error;
    EXPECT_FALSE(server.listen(path(), error));
    EXPECT_TRUE(error.contains(QStringLiteral("is not a directory"))) << qPrintable(error);
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/elsewhere/control")));
}

// A live one is left to its owner: SwitcherE2e's second launch, which asks the first.
TEST_F(ControlServerTest, aStaleSocketIsReplaced)
{
    test::writeAll(path(), {});
    ASSERT_TRUE(listen());
    EXPECT_EQ(exchange("list\n"), "ok\nbody\n");
}
