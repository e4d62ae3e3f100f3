#include "update/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QUuid>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zumo::Updater {
namespace {

int removeEntry(const char* path, const struct stat*, int type, struct FTW*)
{
    // Depth-first: a directory's contents are gone when it is reached. Failures are left for the
    // final check of removeTree.
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

} // namespace

QString newPrivatePath(const QString& base, const char* prefix)
{
    return base + QLatin1Char('/') + QLatin1String(prefix) +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

bool removeTree(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(native.constData()) == 0;
    // FTW_PHYS: links are entries, never followed; FTW_MOUNT: stay on this file system.
    ::nftw(native.constData(), removeEntry, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    return ::lstat(native.constData(), &st) != 0;
}

int removeLeftovers(const QString& base, const QString& keep)
{
    const QString kept = keep.isEmpty() ? QString() : QDir::cleanPath(keep);
    int removed = 0;
    const QStringList names = QDir(base).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                   QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!name.startsWith(QLatin1String(WorkPrefix)) && !name.startsWith(QLatin1String(ParkedPrefix)))
            continue;
        const QString path = QDir::cleanPath(base + QLatin1Char('/') + name);
        if (path == kept)
            continue;
        if (removeTree(path))
            ++removed;
    }
    return removed;
}

bool makePrivateDirectory(const QString& dir)
{
    return ::mkdir(QFile::encodeName(dir).constData(), 0700) == 0;
}

} // namespace zumo::Updater
