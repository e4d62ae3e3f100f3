#include "update/BundleList.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <sys/stat.h>
#include <unistd.h>

#include "update/Ed25519.h"
#include "update/FileDigest.h"

namespace zumo::Updater {
namespace {

QByteArray headerText(const ListHeader& h)
{
    return "zumo-files 1\nidentifier " + h.identifier.toUtf8() + "\nversion " + h.version.toUtf8() + "\nsigner " +
           h.signer.toUtf8() + "\n";
}

// One line of the list for the entry at path (relative name rel); nothing when not allowed.
std::optional<QByteArray> entryLine(const QString& path, const QString& rel)
{
    if (rel.contains(u'\t') || rel.contains(u'\n'))
        return std::nullopt;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    const QByteArray name = rel.toUtf8();
    if (S_ISDIR(st.st_mode))
        return "d\t" + name + "\n";
    if (S_ISLNK(st.st_mode)) {
        char buffer[4096];
        const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
        if (n <= 0 || n == ssize_t(sizeof buffer) || QByteArray(buffer, n).contains('\t'))
            return std::nullopt;
        return "l\t" + QByteArray(buffer, n) + "\t" + name + "\n";
    }
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    const std::optional<QString> digest = fileSHA256Hex(path);
    if (!digest)
        return std::nullopt;
    return "f\t" + digest->toLatin1() + ((st.st_mode & 0100) ? "\t755\t" : "\t644\t") + name + "\n";
}

bool isListFile(const QString& rel)
{
    return rel == QLatin1String(ListFileName) || rel == QLatin1String(ListSignatureName);
}

std::optional<ListHeader> parseHeader(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 5 || lines[0] != "zumo-files 1")
        return std::nullopt;
    const char* keys[] = {"identifier ", "version ", "signer "};
    QString values[3];
    for (int i = 0; i < 3; ++i) {
        if (!lines[i + 1].startsWith(keys[i]))
            return std::nullopt;
        values[i] = QString::fromUtf8(lines[i + 1].mid(qsizetype(qstrlen(keys[i]))));
    }
    return ListHeader{values[0], values[1], values[2]};
}

QByteArray readSmallFile(const QString& path, qint64 cap)
{
    QFile file(path);
    if (QFileInfo(path).isSymLink() || !file.open(QIODevice::ReadOnly) || file.size() > cap)
        return {};
    return file.readAll();
}

} // namespace

std::optional<QByteArray> describeFolder(const QString& folder, const ListHeader& header)
{
    const QDir root(folder);
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = root.relativeFilePath(it.next());
        if (!isListFile(rel))
            names << rel;
    }
    names.sort();
    QByteArray text = headerText(header);
    for (const QString& rel : names) {
        const std::optional<QByteArray> line = entryLine(folder + QLatin1Char('/') + rel, rel);
        if (!line)
            return std::nullopt;
        text += *line;
    }
    return text;
}

std::optional<ListHeader> readSignedHeader(const QString& folder, const QByteArray& publicKey)
{
    const QByteArray list = readSmallFile(folder + QLatin1Char('/') + QLatin1String(ListFileName), 16 << 20);
    const QByteArray signature =
        readSmallFile(folder + QLatin1Char('/') + QLatin1String(ListSignatureName), Ed25519SignatureBytes);
    if (list.isEmpty() || !verifyEd25519(publicKey, list, signature))
        return std::nullopt;
    return parseHeader(list);
}

bool folderMatchesSignedList(const QString& folder, const QByteArray& publicKey)
{
    const std::optional<ListHeader> header = readSignedHeader(folder, publicKey);
    if (!header)
        return false;
    const std::optional<QByteArray> now = describeFolder(folder, *header);
    return now && *now == readSmallFile(folder + QLatin1Char('/') + QLatin1String(ListFileName), 16 << 20);
}

bool signFolder(const QString& folder, const ListHeader& header, const QByteArray& privateKeyPem)
{
    const std::optional<QByteArray> list = describeFolder(folder, header);
    const QByteArray signature = list ? signEd25519(privateKeyPem, *list) : QByteArray();
    if (signature.isEmpty())
        return false;
    for (const auto& [name, bytes] : {std::pair{ListFileName, *list}, std::pair{ListSignatureName, signature}}) {
        QSaveFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return false;
    }
    return true;
}

} // namespace zumo::Updater
