#include "update/SignedImage.h"

#include <QFile>
#include <QList>
#include <QtEndian>

#include "update/Ed25519.h"
#include "update/FileDigest.h"

namespace zumo::Updater {
namespace {

constexpr char Magic[] = "ZUMOSIG1";
constexpr qint64 MagicBytes = 8;
constexpr qint64 FooterBytes = MagicBytes + 4;

bool isLowerHex(const QString& text, qsizetype length)
{
    if (text.size() != length)
        return false;
    for (QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

// The value of line `index` when it reads "<key> <value>" with a non-empty value.
std::optional<QString> field(const QList<QByteArray>& lines, int index, const char* key)
{
    const QByteArray prefix = QByteArray(key) + ' ';
    if (index >= lines.size() || !lines[index].startsWith(prefix) || lines[index].size() == prefix.size())
        return std::nullopt;
    return QString::fromUtf8(lines[index].mid(prefix.size()));
}

struct Trailer {
    qint64 payloadSize = 0;
    QByteArray statement;
    QByteArray signature;
};

std::optional<Trailer> readTrailer(QFile& file)
{
    const qint64 total = file.size();
    if (total < FooterBytes + Ed25519SignatureBytes || !file.seek(total - FooterBytes))
        return std::nullopt;
    const QByteArray footer = file.read(FooterBytes);
    if (footer.size() != FooterBytes || !footer.startsWith(QByteArray(Magic, MagicBytes)))
        return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(footer.constData() + MagicBytes);
    const qint64 tail = FooterBytes + Ed25519SignatureBytes + qint64(length);
    if (length == 0 || length > MaxStatementBytes || tail > total || !file.seek(total - tail))
        return std::nullopt;
    Trailer trailer{total - tail, file.read(length), file.read(Ed25519SignatureBytes)};
    if (trailer.statement.size() != qint64(length) || trailer.signature.size() != Ed25519SignatureBytes)
        return std::nullopt;
    return trailer;
}

} // namespace

QByteArray formatStatement(const ImageStatement& s)
{
    return "zumo-image 1\nidentifier " + s.identifier.toUtf8() + "\nversion " + s.version.toUtf8() + "\nsize " +
           QByteArray::number(s.size) + "\nsha256 " + s.sha256.toUtf8() + "\n";
}

std::optional<ImageStatement> parseStatement(const QByteArray& text)
{
    if (!text.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = text.chopped(1).split('\n');
    if (lines.size() != 5 || lines[0] != "zumo-image 1")
        return std::nullopt;
    const auto identifier = field(lines, 1, "identifier");
    const auto version = field(lines, 2, "version");
    const auto size = field(lines, 3, "size");
    const auto sha = field(lines, 4, "sha256");
    if (!identifier || !version || !size || !sha || !isLowerHex(*sha, 64))
        return std::nullopt;
    bool ok = false;
    const qint64 bytes = size->toLongLong(&ok);
    if (!ok || bytes < 0 || QString::number(bytes) != *size)
        return std::nullopt;
    return ImageStatement{*identifier, *version, bytes, *sha};
}

std::optional<ImageStatement> verifySignedImage(const QString& path, const QByteArray& publicKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    const std::optional<Trailer> trailer = readTrailer(file);
    if (!trailer || !verifyEd25519(publicKey, trailer->statement, trailer->signature))
        return std::nullopt;
    const std::optional<ImageStatement> statement = parseStatement(trailer->statement);
    if (!statement || statement->size != trailer->payloadSize || !file.seek(0))
        return std::nullopt;
    const std::optional<QByteArray> digest = sha256Of(file, statement->size);
    if (!digest || QString::fromLatin1(digest->toHex()) != statement->sha256)
        return std::nullopt;
    return statement;
}

bool signImage(const QString& path, const QString& identifier, const QString& version,
               const QByteArray& privateKeyPem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    const std::optional<QByteArray> digest = sha256Of(file, size);
    if (!digest)
        return false;
    const QByteArray statement =
        formatStatement({identifier, version, size, QString::fromLatin1(digest->toHex())});
    const QByteArray signature = signEd25519(privateKeyPem, statement);
    if (signature.isEmpty() || statement.size() > MaxStatementBytes)
        return false;
    char length[4];
    qToBigEndian<quint32>(quint32(statement.size()), length);
    const QByteArray tail = statement + signature + QByteArray(Magic, MagicBytes) + QByteArray(length, 4);
    if (!file.seek(size) || file.write(tail) != tail.size() || !file.flush()) {
        file.resize(size);
        return false;
    }
    return true;
}

} // namespace zumo::Updater
