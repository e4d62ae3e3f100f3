// The control socket's server side: who may connect, how much they may send, and for how long.
// Plain sockets on Qt's event loop: Qt's local sockets would load Qt Network (and with it
// Kerberos) into every Zumo for a handful of short local requests.
#include "control/ControlServer.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/PrivateDirectory.h"

namespace zumo {
namespace {

// The uid of the process at the other end, from the kernel (not from anything it sent).
std::optional<uid_t> peerUid(int socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

// Stops a notifier that may be emitting right now and deletes it once that is over.
void retire(QSocketNotifier*& notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

// A short line to a client being turned away; what does not fit at once is not waited for.
void sendAndClose(int socket, const QByteArray& line)
{
    (void)!::send(socket, line.constData(), size_t(line.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(socket);
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
        int socket = -1;
        QSocketNotifier* readable = nullptr;
        QSocketNotifier* writable = nullptr;  // only while output waits for room
        QByteArray buffer;
        QByteArray output;
        Dispatcher::TimerId timer = 0;
        bool requested = false;  // a request line was read; the rest is the handler's
        bool closeWhenSent = false;
        bool shutWhenSent = false;
    };
    std::unordered_map<ClientId, Client> byId;
    ClientId next = 1;

    Client* find(ClientId id)
    {
        auto it = byId.find(id);
        return it == byId.end() ? nullptr : &it->second;
    }
};

ControlServer::ControlServer(Dispatcher& dispatcher, Handler handler)
    : m_dispatcher(dispatcher), m_handler(std::move(handler)), m_clients(std::make_unique<Clients>())
{
}

ControlServer::~ControlServer()
{
    // Not from a notifier's signal: the notifiers go at once, nothing is left for an event loop.
    for (auto& [id, client] : m_clients->byId) {
        if (client.timer)
            m_dispatcher.cancel(client.timer);
        delete client.readable;
        delete client.writable;
        ::close(client.socket);
    }
    if (m_listening >= 0) {
        delete m_incoming;
        ::close(m_listening);
        // Still holding the claim's lock: nobody else can have bound the path meanwhile.
        QFile::remove(m_claim.socketPath());
    }
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
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);  // accept() stops when none are left
    m_listening = socket;
    m_incoming = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read);
    QObject::connect(m_incoming, &QSocketNotifier::activated, [this] { accept(); });
    return true;
}

QString ControlServer::socketPath() const
{
    return m_listening >= 0 ? m_claim.socketPath() : QString();
}

int ControlServer::clientCount() const
{
    return int(m_clients->byId.size());
}

void ControlServer::accept()
{
    for (;;) {
        const int socket = ::accept4(m_listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0)
            return;  // none left (or the client gave up meanwhile)
        if (peerUid(socket) != ::getuid()) {
            appLog(QStringLiteral("control socket: refused a client of another user"));
            sendAndClose(socket, errorReply(QStringLiteral("this Zumo belongs to another user")));
            continue;
        }
        if (clientCount() >= MaxClients) {
            sendAndClose(socket, errorReply(QStringLiteral("too many clients at once; try again")));
            continue;
        }
        const ClientId id = m_clients->next++;
        Clients::Client& client = m_clients->byId[id];
        client.socket = socket;
        client.readable = new QSocketNotifier(qintptr(socket), QSocketNotifier::Read);
        QObject::connect(client.readable, &QSocketNotifier::activated, [this, id] { read(id); });
        client.timer = m_dispatcher.after(RequestTimeout, [this, id, weak = std::weak_ptr<int>(m_alive)] {
            if (weak.expired())
                return;
            if (Clients::Client* late = m_clients->find(id)) {
                late->timer = 0;
                drop(id, QStringLiteral("no request within %1 seconds").arg(RequestTimeout));
            }
        });
        read(id);
    }
}

void ControlServer::read(ClientId id)
{
    Clients::Client* client = m_clients->find(id);
    if (!client)
        return;
    char chunk[4096];
    if (client->requested) {  // one request per connection; the rest is dropped
        const ssize_t n = ::recv(client->socket, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            forget(id);
        return;
    }
    const ssize_t n = ::recv(client->socket, chunk, size_t(std::min<qsizetype>(qsizetype(sizeof chunk),
                                                                                 MaxRequestBytes - client->buffer.size())), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {  // hung up before asking
        forget(id);
        return;
    }
    client->buffer.append(chunk, n);
    const qsizetype end = client->buffer.indexOf('\n');
    if (end < 0) {
        if (client->buffer.size() >= MaxRequestBytes)
            drop(id, QStringLiteral("request longer than %1 bytes").arg(MaxRequestBytes));
        return;
    }
    client->requested = true;
    if (client->timer)
        m_dispatcher.cancel(std::exchange(client->timer, 0));
    const ParsedRequest parsed = parseRequest(QByteArrayView(client->buffer).first(end));
    client->buffer.clear();
    if (!parsed.request) {
        drop(id, parsed.error);
        return;
    }
    m_handler(*parsed.request, [this, id, weak = std::weak_ptr<int>(m_alive)](const QByteArray& reply) {
        if (weak.expired())
            return;
        if (Clients::Client* asker = m_clients->find(id); asker && !asker->closeWhenSent && !asker->shutWhenSent) {
            asker->closeWhenSent = true;
            send(id, reply);
        }
    });
}

void ControlServer::send(ClientId id, const QByteArray& bytes)
{
    if (Clients::Client* client = m_clients->find(id)) {
        client->output += bytes;
        flush(id);
    }
}

void ControlServer::flush(ClientId id)
{
    Clients::Client* client = m_clients->find(id);
    if (!client)
        return;
    while (!client->output.isEmpty()) {
        const ssize_t n = ::send(client->socket, client->output.constData(), size_t(client->output.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {  // the rest when the client has read some
            if (!client->writable) {
                client->writable = new QSocketNotifier(qintptr(client->socket), QSocketNotifier::Write);
                QObject::connect(client->writable, &QSocketNotifier::activated, [this, id] { flush(id); });
            }
            return;
        }
        if (n < 0) {
            forget(id);
            return;
        }
        client->output.remove(0, n);
    }
    retire(client->writable);
    if (client->closeWhenSent)
        forget(id);
    else if (client->shutWhenSent)
        ::shutdown(client->socket, SHUT_WR);
}

// Closing a socket with unread input makes the kernel reset the connection, and the client
// would lose the error. So the answer is sent and the writing side shut; what the client
// still sends is read and dropped until it hangs up, or for one more time-out at most.
void ControlServer::drop(ClientId id, const QString& error)
{
    Clients::Client* client = m_clients->find(id);
    if (!client)
        return;
    client->requested = true;
    client->shutWhenSent = true;
    if (client->timer)
        m_dispatcher.cancel(std::exchange(client->timer, 0));
    client->timer = m_dispatcher.after(RequestTimeout, [this, id, weak = std::weak_ptr<int>(m_alive)] {
        if (weak.expired())
            return;
        if (Clients::Client* late = m_clients->find(id)) {
            late->timer = 0;
            forget(id);
        }
    });
    send(id, errorReply(error));
}

void ControlServer::forget(ClientId id)
{
    auto it = m_clients->byId.find(id);
    if (it == m_clients->byId.end())
        return;
    Clients::Client& client = it->second;
    if (client.timer)
        m_dispatcher.cancel(client.timer);
    retire(client.readable);
    retire(client.writable);
    ::close(client.socket);
    m_clients->byId.erase(it);
}

} // namespace zumo
