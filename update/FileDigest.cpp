#include "update/FileDigest.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

namespace zumo::Updater {

std::optional<QByteArray> sha256Of(QIODevice& device, qint64 length)
{
    // Qt's hash rather than OpenSSL's, which is faster but would tie the running program to
    // libcrypto; signatures are checked by the helper (update/native), hashes here.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer(DigestChunk, Qt::Uninitialized);
    qint64 left = length;
    while (length < 0 || left > 0) {
        const qint64 want = length < 0 ? DigestChunk : std::min(left, DigestChunk);
        const qint64 got = device.read(buffer.data(), want);
        if (got <= 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), got));
        left -= got;
    }
    if (length >= 0 && left != 0)
        return std::nullopt;
    return hash.result();
}

std::optional<QString> fileSHA256Hex(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    const std::optional<QByteArray> digest = sha256Of(file, -1);
    if (!digest)
        return std::nullopt;
    return QString::fromLatin1(digest->toHex());
}

} // namespace zumo::Updater
