// One request over the control socket, waited for with a deadline.
#include "control/ControlClient.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

namespace zumo {

ControlOutcome sendControlRequest(const QString& socketPath, const ControlRequest& request, int timeoutMs)
{
    if (socketPath.isEmpty())
        return {ControlNotRunning, {}, QStringLiteral("no Zumo is running for this user (no private runtime directory)")};
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return {ControlNotRunning, {},
                QStringLiteral("no Zumo is running for this user (nothing answers at %1)").arg(socketPath)};
    }
    socket.write(requestLine(request));
    QByteArray data;
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        data += socket.readAll();
    }
    data += socket.readAll();
    const std::optional<ControlReply> reply = parseReply(data);
    if (!reply || socket.state() == QLocalSocket::ConnectedState) {
        return {ControlNoAnswer, {},
                QStringLiteral("the running Zumo did not answer within %1 seconds").arg(timeoutMs / 1000.0)};
    }
    if (!reply->ok)
        return {ControlRefused, {}, QStringLiteral("the running Zumo refused: %1").arg(reply->error)};
    return {ControlOk, reply->body, {}};
}

} // namespace zumo
