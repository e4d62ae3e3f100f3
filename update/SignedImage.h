// The Linux release image: a tar archive followed by a short statement about it, the maker's
// Ed25519 signature of that statement, and a fixed footer:
//   payload | statement | signature (64 bytes) | "ZUMOSIG1" | statement length (4 bytes, big-endian)
// The statement names the product, the version, and the payload's size and SHA-256, so the
// signature covers every byte of the payload without signing 60 MB directly.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zumo::Updater {

struct ImageStatement {
    QString identifier;
    QString version;
    qint64 size = 0;     // payload bytes
    QString sha256;      // payload digest, lower-case hex
    bool operator==(const ImageStatement&) const = default;
};

inline constexpr int MaxStatementBytes = 1024;

// "zumo-image 1\nidentifier …\nversion …\nsize …\nsha256 …\n".
QByteArray formatStatement(const ImageStatement& statement);
// The fields of a statement in exactly that form; nothing for anything else.
std::optional<ImageStatement> parseStatement(const QByteArray& text);

// Checks the image at path against publicKey: footer, signature, then the payload's size and
// digest against the statement. Returns the statement only when all hold; the payload is read
// (hashed) but never interpreted. Any thread.
std::optional<ImageStatement> verifySignedImage(const QString& path, const QByteArray& publicKey);

// Appends statement, signature and footer for the payload already in the file at path, signed
// with the PEM private key. False (file unchanged or truncated back) on failure.
bool signImage(const QString& path, const QString& identifier, const QString& version,
               const QByteArray& privateKeyPem);

} // namespace zumo::Updater
