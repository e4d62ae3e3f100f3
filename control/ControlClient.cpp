// One request over the control socket, waited for with a deadline.
#include "control/ControlClient.h"

#include <QDeadlineTimer>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "control/LocalConnect.h"
#include "platform/AwaitFd.h"

namespace zumo {
namespace {

// Writes all of bytes before the deadline. The server reads the line before it answers.
bool sendAll(int fd, QByteArrayView bytes, const QDeadlineTimer& deadline)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::send(fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            bytes = bytes.sliced(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        else if (!awaitFd(fd, POLLOUT, deadline))
            return false;
    }
    return true;
}

// Everything the server sends until it hangs up; false when the deadline passes first.
bool receiveAll(int fd, QByteArray& data, const QDeadlineTimer& deadline)
{
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0)
            data.append(chunk, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return true;  // hung up (a reset after the answer is a hang-up too)
        else if (!awaitFd(fd, POLLIN, deadline))
            return false;
    }
}

} // namespace

ControlOutcome sendControlRequest(const QString& socketPath, const ControlRequest& request, int timeoutMs)
{
    if (socketPath.isEmpty())
        return {ControlNotRunning, {}, QStringLiteral("no Zumo is running for this user (no private runtime directory)")};
    QDeadlineTimer deadline(timeoutMs);
    const int fd = connectLocalSocket(socketPath, deadline);
    if (fd < 0) {
        return {ControlNotRunning, {},
                QStringLiteral("no Zumo is running for this user (nothing answers at %1)").arg(socketPath)};
    }
    QByteArray data;
    // A refusal may come while the line is still being written: read what came either way.
    const bool sent = sendAll(fd, requestLine(request), deadline);
    const bool ended = receiveAll(fd, data, sent ? deadline : QDeadlineTimer(0));
    ::close(fd);
    const std::optional<ControlReply> reply = parseReply(data);
    if (!ended) {
        return {ControlNoAnswer, {},
                QStringLiteral("the running Zumo did not answer within %1 seconds").arg(timeoutMs / 1000.0)};
    }
    if (!reply)
        return {ControlNoAnswer, {}, QStringLiteral("the running Zumo hung up without a complete answer")};
    if (!reply->ok)
        return {ControlRefused, {}, QStringLiteral("the running Zumo refused: %1").arg(reply->error)};
    return {ControlOk, reply->body, {}};
}

} // namespace zumo
