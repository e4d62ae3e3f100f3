// Ed25519 signatures through OpenSSL 3's EVP interface: the maker signs, the program verifies
// against its pinned public key.
#pragma once

#include <QByteArray>

namespace zumo::Updater {

inline constexpr int Ed25519KeyBytes = 32;
inline constexpr int Ed25519SignatureBytes = 64;

// True when signature is publicKey's (raw 32 bytes) Ed25519 signature of message. A key or
// signature of the wrong length is simply false.
bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);

// The 64-byte signature of message by the private key in PEM text; empty when the key cannot be
// read or is not an Ed25519 key.
QByteArray signEd25519(const QByteArray& privateKeyPem, const QByteArray& message);

// The raw 32-byte public half of a PEM private key; empty when it cannot be read.
QByteArray publicKeyOf(const QByteArray& privateKeyPem);

} // namespace zumo::Updater
