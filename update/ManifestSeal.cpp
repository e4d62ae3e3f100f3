#include "update/ManifestSeal.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QList>

#include "update/Ed25519.h"
#include "update/UpdateTexts.h"

namespace zumo::Updater {
namespace {

QByteArray isoTime(double seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds), Qt::UTC).toString(Qt::ISODate).toLatin1();
}

// Seconds of a time in exactly the form isoTime writes.
std::optional<double> parseIsoTime(const QByteArray& text)
{
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    if (!time.isValid() || isoTime(double(time.toSecsSinceEpoch())) != text)
        return std::nullopt;
    return double(time.toSecsSinceEpoch());
}

QByteArray statement(const QByteArray& manifest, double signedAt, double expiresAt)
{
    return "zumo-manifest 1\nsha256 " + QCryptographicHash::hash(manifest, QCryptographicHash::Sha256).toHex() +
           "\nsigned " + isoTime(signedAt) + "\nexpires " + isoTime(expiresAt) + "\n";
}

} // namespace

QByteArray sealManifest(const QByteArray& manifest, const QByteArray& privateKeyPem, double signedAt, double expiresAt)
{
    const QByteArray text = statement(manifest, signedAt, expiresAt);
    const QByteArray signature = signEd25519(privateKeyPem, text);
    return signature.isEmpty() ? QByteArray() : text + "signature " + signature.toHex() + "\n";
}

std::optional<ManifestSeal> readManifestSeal(const QByteArray& seal, const QByteArray& manifest,
                                             const QByteArray& publicKey)
{
    const qsizetype at = seal.lastIndexOf("\nsignature ");
    if (seal.size() > MaxSealBytes || at < 0 || !seal.endsWith('\n'))
        return std::nullopt;
    const QByteArray text = seal.left(at + 1);
    const QList<QByteArray> lines = text.chopped(1).split('\n');
    if (lines.size() != 4 || !lines[2].startsWith("signed ") || !lines[3].startsWith("expires "))
        return std::nullopt;
    const auto signedAt = parseIsoTime(lines[2].mid(7));
    const auto expiresAt = parseIsoTime(lines[3].mid(8));
    const QByteArray signature = QByteArray::fromHex(seal.mid(at + 11).chopped(1));
    // Rebuilt from the manifest in hand, so the seal holds only for exactly these bytes.
    if (!signedAt || !expiresAt || text != statement(manifest, *signedAt, *expiresAt) ||
        signature.toHex() != seal.mid(at + 11).chopped(1) || !verifyEd25519(publicKey, text, signature))
        return std::nullopt;
    return ManifestSeal{*signedAt, *expiresAt};
}

SealVerdict judgeManifestSeal(const std::optional<QByteArray>& seal, const QByteArray& manifest,
                              const QByteArray& publicKey, double now, std::optional<double> newestSignedAt)
{
    if (!seal) {
        if (newestSignedAt)
            return {Text::manifestUnsigned(), newestSignedAt};
        return {{}, std::nullopt};
    }
    const std::optional<ManifestSeal> read = readManifestSeal(*seal, manifest, publicKey);
    if (!read)
        return {Text::manifestBadSignature(), newestSignedAt};
    if (now > read->expiresAt)
        return {Text::manifestExpired(QString::fromLatin1(isoTime(read->expiresAt))), newestSignedAt};
    if (newestSignedAt && read->signedAt < *newestSignedAt)
        return {Text::manifestOlder(), newestSignedAt};
    return {{}, read->signedAt};
}

} // namespace zumo::Updater
