// Run as /proc/self/fd/N: the child inherits the descriptor across its fork, and the kernel
// starts the file it names whatever has happened to the path since.
#include "desktop/qt/HelperProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace zumo {

HelperProgram::HelperProgram(const QString& path) : m_path(path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
}

HelperProgram::~HelperProgram()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString HelperProgram::missing() const
{
    return QStringLiteral("cannot find the network helper %1").arg(m_path);
}

void HelperProgram::prepare(QProcess& process) const
{
    process.setProgram(QStringLiteral("/proc/self/fd/%1").arg(m_fd));
    const int fd = m_fd;
    process.setChildProcessModifier([fd] {
        // A script (as in tests) reads itself through this path after exec; and a child whose
        // parent died has nobody to answer to.
        ::fcntl(fd, F_SETFD, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
}

QString HelperProgram::beside()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path() + QStringLiteral("/zumo-net");
}

} // namespace zumo
