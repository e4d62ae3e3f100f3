#include "update/FileDigest.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <openssl/evp.h>

namespace zumo::Updater {

std::optional<QByteArray> sha256Of(QIODevice& device, qint64 length)
{
    // OpenSSL rather than QCryptographicHash: Qt 6.4's portable SHA-256 runs at less than half the
    // speed of sha256sum here, OpenSSL uses the processor's SHA instructions.
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> hash(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    QByteArray buffer(DigestChunk, Qt::Uninitialized);
    qint64 left = length;
    while (length < 0 || left > 0) {
        const qint64 want = length < 0 ? DigestChunk : std::min(left, DigestChunk);
        const qint64 got = device.read(buffer.data(), want);
        if (got <= 0)
            break;
        EVP_DigestUpdate(hash.get(), buffer.constData(), size_t(got));
        left -= got;
    }
    if (length >= 0 && left != 0)
        return std::nullopt;
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int digestLength = 0;
    if (EVP_DigestFinal_ex(hash.get(), reinterpret_cast<unsigned char*>(digest.data()), &digestLength) != 1)
        return std::nullopt;
    digest.truncate(digestLength);
    return digest;
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
