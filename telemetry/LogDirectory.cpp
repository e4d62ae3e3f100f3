// Where the logs live: a directory private to this user, never a shared temporary folder where
// another account could plant a directory or link under a name we reuse.
#include "telemetry/EventLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/PrivateDirectory.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

const QString LogDirKey = QStringLiteral("logDir");

// Only direct children of the base are accepted: the base is checked, and nothing between it and
// the child can then be a link.
bool isDirectChildOf(const QString& path, const QString& base)
{
    if (!QDir::isAbsolutePath(path))
        return false;
    const QFileInfo info(QDir::cleanPath(path));
    return info.path() == QDir::cleanPath(base) && !info.fileName().isEmpty();
}

QString newDirectoryName()
{
    return QUuid::createUuid().toString(QUuid::Id128).left(16).toLower();
}

bool isLogDirectoryName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{16}$"));
    return pattern.match(name).hasMatch();
}

// When "logDir" could not be kept (a read-only settings folder, an unreadable settings file),
// the newest directory we made before is used again rather than a new one at every start.
QString newestOwnDirectory(const QString& base)
{
    QString newest;
    struct timespec newestTime {};
    const QStringList names = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString path = QDir::cleanPath(base) + QLatin1Char('/') + name;
        struct stat st {};
        if (!isLogDirectoryName(name) || ::lstat(QFile::encodeName(path).constData(), &st) != 0 ||
            !isPrivateDirectory(path))
            continue;
        if (newest.isEmpty() || std::pair(st.st_mtim.tv_sec, st.st_mtim.tv_nsec) >
                                    std::pair(newestTime.tv_sec, newestTime.tv_nsec)) {
            newest = path;
            newestTime = st.st_mtim;
        }
    }
    return newest;
}

} // namespace

QString chooseLogDirectory(SettingsStore& store, const QString& base)
{
    if (base.isEmpty())
        return {};
    const QString stored = store.value(LogDirKey).toString();
    if (!stored.isEmpty() && isDirectChildOf(stored, base) && isPrivateDirectory(stored))
        return QDir::cleanPath(stored);
    QString path = newestOwnDirectory(base);
    if (!path.isEmpty()) {
        store.setValue(LogDirKey, path);
        return path;
    }
    // A clash of 64 random bits means a stale directory we will not reuse; pick another name.
    for (int attempt = 0; attempt < 4; ++attempt) {
        path = QDir::cleanPath(base) + QLatin1Char('/') + newDirectoryName();
        if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno != EEXIST)
            break;
    }
    store.setValue(LogDirKey, path);
    return path;
}

} // namespace zumo
