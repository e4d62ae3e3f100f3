// The control socket's server side: who may connect, how much they may send, and for how long.
#include "control/ControlServer.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/PrivateDirectory.h"

namespace zumo {
namespace {

// The uid of the process at the other end, from the kernel (not from anything it sent).
std::optional<uid_t> peerUid(const QLocalSocket& socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

} // namespace

QString controlDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return QDir::cleanPath(runtime) + QStringLiteral("/zumo");
    const QString base = privateBaseDirectory();
    return base.isEmpty() ? QString() : base;
}

QString controlSocketPath()
{
    const QString dir = controlDirectory();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/control");
}

struct ControlServer::Clients {
    struct Client {
        QByteArray buffer;
        Dispatcher::TimerId timer = 0;
        bool requested = false;  // a request line was read; the rest is the handler's
    };
    std::unordered_map<QLocalSocket*, Client> bySocket;
};

ControlServer::ControlServer(Dispatcher& dispatcher, Handler handler)
    : m_dispatcher(dispatcher), m_handler(std::move(handler)), m_clients(std::make_unique<Clients>())
{
}

ControlServer::~ControlServer()
{
    for (auto& [socket, client] : m_clients->bySocket) {
        if (client.timer)
            m_dispatcher.cancel(client.timer);
    }
    // Its sockets go with it, and their destroyed signals must still find m_clients.
    m_server.reset();
}

bool ControlServer::listen(const QString& socketPath, QString& error)
{
    return listen(ControlClaim::take(socketPath), error);
}

bool ControlServer::listen(ControlClaim claim, QString& error)
{
    m_claim = std::move(claim);
    const int socket = m_claim.releaseSocket();
    if (socket < 0) {
        error = m_claim.error();
        return false;
    }
    m_server = std::make_unique<QLocalServer>();
    if (!m_server->listen(qintptr(socket))) {
        error = QStringLiteral("cannot listen at %1: %2").arg(m_claim.socketPath(), m_server->errorString());
        ::close(socket);
        m_server.reset();
        return false;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, [this] { accept(); });
    return true;
}

QString ControlServer::socketPath() const
{
    return m_server ? m_server->fullServerName() : QString();
}

int ControlServer::clientCount() const
{
    return int(m_clients->bySocket.size());
}

void ControlServer::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QObject::destroyed, m_server.get(), [this, socket] { forget(socket); });
        if (peerUid(*socket) != ::getuid()) {
            appLog(QStringLiteral("control socket: refused a client of another user"));
            socket->write(errorReply(QStringLiteral("this Zumo belongs to another user")));
            socket->disconnectFromServer();
            continue;
        }
        if (clientCount() >= MaxClients) {
            socket->write(errorReply(QStringLiteral("too many clients at once; try again")));
            socket->disconnectFromServer();
            continue;
        }
        socket->setReadBufferSize(MaxRequestBytes);  // what Qt buffers for us stays bounded too
        Clients::Client& client = m_clients->bySocket[socket];
        QPointer<QLocalSocket> guard(socket);
        client.timer = m_dispatcher.after(RequestTimeout, [this, guard, weak = std::weak_ptr<int>(m_alive)] {
            if (weak.expired() || !guard)
                return;
            m_clients->bySocket[guard.data()].timer = 0;
            drop(guard.data(), QStringLiteral("no request within %1 seconds").arg(RequestTimeout));
        });
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { read(socket); });
        read(socket);
    }
}

void ControlServer::read(QLocalSocket* socket)
{
    auto it = m_clients->bySocket.find(socket);
    if (it == m_clients->bySocket.end() || it->second.requested) {
        socket->skip(socket->bytesAvailable());  // one request per connection; the rest is dropped
        return;
    }
    Clients::Client& client = it->second;
    client.buffer += socket->read(MaxRequestBytes - client.buffer.size());
    const qsizetype end = client.buffer.indexOf('\n');
    if (end < 0) {
        if (client.buffer.size() >= MaxRequestBytes)
            drop(socket, QStringLiteral("request longer than %1 bytes").arg(MaxRequestBytes));
        return;
    }
    client.requested = true;
    if (client.timer)
        m_dispatcher.cancel(std::exchange(client.timer, 0));
    const ParsedRequest parsed = parseRequest(QByteArrayView(client.buffer).first(end));
    client.buffer.clear();
    if (!parsed.request) {
        drop(socket, parsed.error);
        return;
    }
    QPointer<QLocalSocket> guard(socket);
    m_handler(*parsed.request, [guard](const QByteArray& reply) {
        if (!guard || guard->state() != QLocalSocket::ConnectedState)
            return;
        guard->write(reply);
        guard->disconnectFromServer();
    });
}

// Closing a socket with unread input makes the kernel reset the connection, and the client
// would lose the error. So the answer is sent and the writing side shut; what the client
// still sends is read and dropped until it hangs up, or for one more time-out at most.
void ControlServer::drop(QLocalSocket* socket, const QString& error)
{
    auto it = m_clients->bySocket.find(socket);
    if (it == m_clients->bySocket.end())
        return;
    Clients::Client& client = it->second;
    client.requested = true;
    if (client.timer)
        m_dispatcher.cancel(std::exchange(client.timer, 0));
    socket->write(errorReply(error));
    socket->flush();
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    socket->skip(socket->bytesAvailable());
    QPointer<QLocalSocket> guard(socket);
    client.timer = m_dispatcher.after(RequestTimeout, [this, guard, weak = std::weak_ptr<int>(m_alive)] {
        if (weak.expired() || !guard)
            return;
        m_clients->bySocket[guard.data()].timer = 0;
        guard->abort();
        guard->deleteLater();
    });
}

void ControlServer::forget(QLocalSocket* socket)
{
    auto it = m_clients->bySocket.find(socket);
    if (it == m_clients->bySocket.end())
        return;
    if (it->second.timer)
        m_dispatcher.cancel(it->second.timer);
    m_clients->bySocket.erase(it);
}

} // namespace zumo
