// The maker's identity as this build knows it: the public key that signs release images and
// bundle file lists, and the maker's signing identifier.
#pragma once

#include <QByteArray>
#include <QString>

namespace zumo::Updater {

// The raw 32-byte Ed25519 public key chosen at build time (ZUMO_UPDATE_PUBLIC_KEY).
QByteArray pinnedPublicKey();
// True when the build pins the test key of tests/update/keys (not a release build).
bool pinsTestKey();

// The product identifier and the maker's signing identifier carried by signed content.
inline QString productIdentifier() { return QStringLiteral("com.zumo.app"); }
inline QString makerIdentifier() { return QStringLiteral("K7QW3MZ8PD"); }

} // namespace zumo::Updater
