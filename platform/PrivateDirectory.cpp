// Private directories: created 0700, and refused when they are links or belong to someone else.
#include "platform/PrivateDirectory.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zumo {
namespace {

QString cacheHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    // Relative values are invalid by the XDG rules and would land in the working directory.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.cache"));
}

// Empty when path is a private directory (after narrowing its mode), else why it is not.
QString privacyProblem(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return QStringLiteral("cannot read %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is not a directory (a link or a file is in its place)").arg(path);
    if (st.st_uid != ::geteuid())
        return QStringLiteral("%1 belongs to another user").arg(path);
    if ((st.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return QStringLiteral("%1 cannot be made private to this user").arg(path);
    return {};
}

} // namespace

bool isPrivateDirectory(const QString& path)
{
    return privacyProblem(path).isEmpty();
}

QString makePrivateDirectory(const QString& path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return privacyProblem(path);
}

QString privateBaseDirectory()
{
    const QString cache = cacheHome();
    QDir().mkpath(cache);  // a failure shows in the check below
    const QString base = cache + QStringLiteral("/zumo");
    if (!makePrivateDirectory(base).isEmpty())
        return {};
    return base;
}

} // namespace zumo
