// The running Zumo's private local socket: accepts only this user's clients, reads one bounded
// request line from each within a time limit, and hands it on; a misbehaving client gets an
// error line and is dropped without the switcher noticing.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "control/ControlClaim.h"
#include "control/ControlProtocol.h"

class QSocketNotifier;

namespace zumo {

class Dispatcher;

// $XDG_RUNTIME_DIR/zumo, or the private base directory when XDG_RUNTIME_DIR is unset or not
// absolute. Nothing is created.
QString controlDirectory();
// The socket inside it.
QString controlSocketPath();

class ControlServer {
public:
    // Sends the reply to the client that asked; does nothing once that client has gone.
    using Respond = std::function<void(const QByteArray& reply)>;
    using Handler = std::function<void(const ControlRequest& request, Respond respond)>;

    // A client must send its request line within this many seconds of connecting.
    static constexpr double RequestTimeout = 2.0;
    // Clients served at once; more are turned away with an error line.
    static constexpr int MaxClients = 16;

    // The dispatcher runs the time-outs; it and the handler's captures must outlive the server.
    ControlServer(Dispatcher& dispatcher, Handler handler);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Serves the socket of a claim taken earlier and keeps its lock. False, with error set to a
    // sentence saying why, unless the claim holds a listening socket. Main thread.
    bool listen(ControlClaim claim, QString& error);
    // Claims socketPath (see ControlClaim: its folder is made 0700, a stale socket file is
    // replaced, one another Zumo serves is not) and serves it.
    bool listen(const QString& socketPath, QString& error);
    QString socketPath() const;
    int clientCount() const;

private:
    using ClientId = quint64;
    void accept();
    void read(ClientId id);
    void send(ClientId id, const QByteArray& bytes);
    void flush(ClientId id);
    void drop(ClientId id, const QString& error);
    void forget(ClientId id);

    Dispatcher& m_dispatcher;
    Handler m_handler;
    ControlClaim m_claim;
    int m_listening = -1;
    QSocketNotifier* m_incoming = nullptr;
    struct Clients;
    std::unique_ptr<Clients> m_clients;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace zumo
