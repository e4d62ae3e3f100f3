// The maker's detached signature of the manifest, published beside it as latest.json.sig, and
// what a copy makes of it. A copy that has once seen a signed manifest takes no unsigned, expired
// or older-dated one, so whoever answers for the vendor host cannot hold it on an old release
// (freeze) or lead it back to one (rollback). Copies that never saw a signature take unsigned
// manifests as before, so a vendor host without signatures keeps working.
//   zumo-manifest 1
//   sha256 <SHA-256 of latest.json, lower-case hex>
//   signed 2026-12-07T13:00:00Z
//   expires 2027-01-06T13:00:00Z
//   signature <Ed25519 signature of the lines above, 128 lower-case hex digits>
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zumo::Updater {

inline constexpr int MaxSealBytes = 4096;
inline constexpr char SealSuffix[] = ".sig";

// Seconds since 1970, UTC.
struct ManifestSeal {
    double signedAt = 0;
    double expiresAt = 0;
};

// The seal of manifest signed with the PEM private key; empty when the key cannot sign.
QByteArray sealManifest(const QByteArray& manifest, const QByteArray& privateKeyPem, double signedAt, double expiresAt);
// The seal's times when it is exactly in the form above, signed by publicKey and made for these
// manifest bytes; nothing otherwise.
std::optional<ManifestSeal> readManifestSeal(const QByteArray& seal, const QByteArray& manifest,
                                             const QByteArray& publicKey);

// What a copy does with a manifest: refusal is empty when it takes it; newestSignedAt is what
// to remember as the newest signature seen (unchanged when nothing newer came).
struct SealVerdict {
    QString refusal;
    std::optional<double> newestSignedAt;
};
// seal is nothing when the vendor host has none for the manifest. Pure.
SealVerdict judgeManifestSeal(const std::optional<QByteArray>& seal, const QByteArray& manifest,
                              const QByteArray& publicKey, double now, std::optional<double> newestSignedAt);

} // namespace zumo::Updater
