#include "update/ReleaseMaker.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "update/BundleList.h"
#include "update/PinnedKey.h"
#include "update/SignedImage.h"

namespace zumo::Updater {
namespace {

using Writer = std::unique_ptr<struct archive, decltype(&archive_write_free)>;
using EntryPtr = std::unique_ptr<struct archive_entry, decltype(&archive_entry_free)>;

bool writeContents(struct archive* writer, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (archive_write_data(writer, buffer.constData(), size_t(got)) != got)
            return false;
    }
}

bool addEntry(struct archive* writer, const QString& path, const QString& name)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    EntryPtr entry(archive_entry_new(), &archive_entry_free);
    archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_mtime(entry.get(), st.st_mtime, 0);
    if (S_ISDIR(st.st_mode)) {
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        archive_entry_set_perm(entry.get(), 0755);
    } else if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
        if (n <= 0)
            return false;
        target[n] = '\0';
        archive_entry_set_filetype(entry.get(), AE_IFLNK);
        archive_entry_set_perm(entry.get(), 0777);
        archive_entry_set_symlink(entry.get(), target);
    } else if (S_ISREG(st.st_mode)) {
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), (st.st_mode & 0100) ? 0755 : 0644);
        archive_entry_set_size(entry.get(), st.st_size);
    } else {
        return false;
    }
    if (archive_write_header(writer, entry.get()) != ARCHIVE_OK)
        return false;
    return !S_ISREG(st.st_mode) || writeContents(writer, path);
}

} // namespace

QString writeTarArchive(const QString& folder, const QString& topName, const QString& archivePath)
{
    Writer writer(archive_write_new(), &archive_write_free);
    archive_write_set_format_pax_restricted(writer.get());
    archive_write_add_filter_gzip(writer.get());
    if (archive_write_open_filename(writer.get(), QFile::encodeName(archivePath).constData()) != ARCHIVE_OK)
        return QStringLiteral("cannot write ") + archivePath;
    if (!addEntry(writer.get(), folder, topName))
        return QStringLiteral("cannot read ") + folder;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        if (!addEntry(writer.get(), folder + QLatin1Char('/') + rel, topName + QLatin1Char('/') + rel))
            return QStringLiteral("cannot pack ") + rel;
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return QStringLiteral("cannot finish ") + archivePath;
    return {};
}

QString makeReleaseImage(const ReleaseInput& given)
{
    // QDir::relativeFilePath gives a relative name back unchanged, so the folder walks below
    // need an absolute folder.
    ReleaseInput input = given;
    input.folder = QFileInfo(given.folder).absoluteFilePath();
    if (!signFolder(input.folder, {productIdentifier(), input.version, makerIdentifier()}, input.keyPem))
        return QStringLiteral("cannot sign the file list of ") + input.folder;
    if (const QString error = writeTarArchive(input.folder, QStringLiteral("Zumo"), input.imagePath); !error.isEmpty())
        return error;
    if (!signImage(input.imagePath, productIdentifier(), input.version, input.keyPem))
        return QStringLiteral("cannot sign ") + input.imagePath;
    return {};
}

QByteArray manifestJson(const QString& version, const QUrl& url, const QString& sha256, const QString& notes)
{
    QJsonObject o{{QStringLiteral("version"), version},
                  {QStringLiteral("url"), url.toString()},
                  {QStringLiteral("sha256"), sha256}};
    if (!notes.isEmpty())
        o.insert(QStringLiteral("notes"), notes);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

} // namespace zumo::Updater
