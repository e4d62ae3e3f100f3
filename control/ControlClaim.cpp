// The lock file and the early bind of the control socket.
#include "control/ControlClaim.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <optional>
#include <utility>

#include "platform/PrivateDirectory.h"

namespace zumo {
namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::optional<sockaddr_un> addressOf(const QByteArray& path)
{
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    return address;
}

// A Zumo from before the lock existed (running while an update starts the next) still answers.
bool someoneListens(const sockaddr_un& address)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answers = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return answers;
}

// A listening socket at path, any earlier file there removed first (the lock says nobody else
// serves it). -1 with `error` set on failure.
int listenAt(const QByteArray& path, QString& error)
{
    const std::optional<sockaddr_un> address = addressOf(path);
    if (!address) {
        error = QStringLiteral("the control socket's path is too long: %1").arg(QString::fromLocal8Bit(path));
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = QStringLiteral("cannot make the control socket: %1").arg(systemError());
        return -1;
    }
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(fd, 16) != 0) {
        error = QStringLiteral("cannot listen at %1: %2").arg(QString::fromLocal8Bit(path), systemError());
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

ControlClaim ControlClaim::take(const QString& socketPath)
{
    ControlClaim claim;
    claim.m_path = socketPath;
    if (socketPath.isEmpty()) {
        claim.m_error = QStringLiteral("no private directory for the control socket (XDG_RUNTIME_DIR is unset "
                                       "and the cache directory cannot be made private)");
        return claim;
    }
    if (const QString problem = makePrivateDirectory(QFileInfo(socketPath).path()); !problem.isEmpty()) {
        claim.m_error = QStringLiteral("the control socket is off: %1").arg(problem);
        return claim;
    }
    const QByteArray lockPath = QFile::encodeName(socketPath + QStringLiteral(".lock"));
    claim.m_lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (claim.m_lock < 0) {
        claim.m_error = QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(lockPath), systemError());
        return claim;
    }
    const bool locked = ::flock(claim.m_lock, LOCK_EX | LOCK_NB) == 0;
    const bool held = !locked && errno == EWOULDBLOCK;
    if (!locked && !held)
        claim.m_error = QStringLiteral("cannot lock %1: %2").arg(QString::fromLocal8Bit(lockPath), systemError());
    const std::optional<sockaddr_un> address = addressOf(QFile::encodeName(socketPath));
    if (held || (locked && address && someoneListens(*address))) {
        claim.m_error = QStringLiteral("another Zumo already answers at %1").arg(socketPath);
        claim.m_state = State::taken;
    }
    if (!locked || claim.m_state == State::taken) {
        claim.close();
        return claim;
    }
    // Without a socket the lock is still kept: this process is the one Zumo, only unreachable.
    claim.m_socket = listenAt(QFile::encodeName(socketPath), claim.m_error);
    if (claim.m_socket >= 0)
        claim.m_state = State::claimed;
    return claim;
}

ControlClaim::~ControlClaim()
{
    close();
}

ControlClaim::ControlClaim(ControlClaim&& other) noexcept
    : m_state(other.m_state), m_path(std::move(other.m_path)), m_error(std::move(other.m_error)),
      m_lock(std::exchange(other.m_lock, -1)), m_socket(std::exchange(other.m_socket, -1))
{
}

ControlClaim& ControlClaim::operator=(ControlClaim&& other) noexcept
{
    if (this != &other) {
        close();
        m_state = other.m_state;
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        m_lock = std::exchange(other.m_lock, -1);
        m_socket = std::exchange(other.m_socket, -1);
    }
    return *this;
}

int ControlClaim::releaseSocket()
{
    return std::exchange(m_socket, -1);
}

void ControlClaim::close()
{
    if (m_socket >= 0)
        ::close(std::exchange(m_socket, -1));
    if (m_lock >= 0)
        ::close(std::exchange(m_lock, -1));
}

} // namespace zumo
