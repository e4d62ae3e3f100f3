#include "control/LocalConnect.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zumo {

int connectLocalSocket(const QString& path, QDeadlineTimer deadline, QString* error)
{
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address{};
    if (bytes.isEmpty() || bytes.size() >= qsizetype(sizeof address.sun_path)) {
        if (error)
            *error = QStringLiteral("socket path too long or empty");
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    for (;;) {
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        // A full queue says so (EAGAIN) and gives no event when it has room: ask again shortly.
        if (fd < 0 || (errno != EAGAIN && errno != EINTR) || deadline.hasExpired())
            break;
        ::usleep(10000);
    }
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace zumo
