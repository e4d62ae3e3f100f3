// Where the logs live: a directory private to this user, never a shared temporary folder where
// another account could plant a directory or link under a name we reuse.
#include "telemetry/EventLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace

QString chooseLogDirectory(SettingsStore& store, const QString& base)
{
    if (base.isEmpty())
        return {};
    const QString stored = store.value(LogDirKey).toString();
    if (!stored.isEmpty() && isDirectChildOf(stored, base) && isPrivateDirectory(stored))
        return QDir::cleanPath(stored);
    QString path;
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
