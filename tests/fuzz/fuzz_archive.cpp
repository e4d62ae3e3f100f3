// Fuzzes unpacking a release image's archive: whatever the bytes, nothing is written outside the
// destination folder, and every link left inside it points inside it.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "update/SafeExtract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTemporaryDir root;
    const QString archive = root.filePath(QStringLiteral("image.tar"));
    const QString dest = root.filePath(QStringLiteral("dest"));
    QDir().mkpath(dest);
    if (!writeBytes(archive, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))))
        return 0;
    zumo::Updater::ExtractLimits limits;
    limits.maxEntries = 200;
    limits.maxBytes = 1 << 20;
    zumo::Updater::extractArchive(archive, qint64(size), dest, limits);
    // Only the archive and the destination may exist beside each other.
    check(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size() == 2);
    const QString inside = QFileInfo(dest).canonicalFilePath() + QLatin1Char('/');
    for (QDirIterator it(dest, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo entry(it.next());
        if (!entry.isSymLink())
            continue;
        const QString target = entry.canonicalFilePath();
        check(target.isEmpty() || target.startsWith(inside) || target + QLatin1Char('/') == inside);
    }
    return 0;
}
