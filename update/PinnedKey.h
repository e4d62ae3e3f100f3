// The maker's identity as this build knows it: the public key that signs release images, bundle
// file lists and the manifest, and the maker's signing identifier.
#pragma once

#include <QByteArray>
#include <QString>

namespace zumo::Updater {

// The raw 32-byte Ed25519 public key chosen at build time (ZUMO_UPDATE_PUBLIC_KEY).
QByteArray pinnedPublicKey();
// True for the test key of tests/update/keys: its private half is in the source tree, so anyone
// can sign with it.
bool isTestKey(const QByteArray& publicKey);

// Set to 1 by tests that run the program itself and sign its updates with the test key.
inline constexpr char TrustTestKeyVariable[] = "ZUMO_UPDATE_TRUST_TEST_KEY";
// The key updates are checked against: pinned, unless pinned is the test key and trustTestKey is
// false; then none, so every image and file list is refused. Pure.
QByteArray updateKeyFor(const QByteArray& pinned, bool trustTestKey);
// updateKeyFor(pinnedPublicKey(), TrustTestKeyVariable is "1").
QByteArray updateKey();

// The product identifier and the maker's signing identifier carried by signed content.
inline QString productIdentifier() { return QStringLiteral("com.zumo.app"); }
inline QString makerIdentifier() { return QStringLiteral("K7QW3MZ8PD"); }

} // namespace zumo::Updater
