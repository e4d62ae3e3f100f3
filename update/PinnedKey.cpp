#include "update/PinnedKey.h"

#ifndef ZUMO_UPDATE_PUBLIC_KEY
#error "ZUMO_UPDATE_PUBLIC_KEY must name the maker's Ed25519 public key (64 hex digits)"
#endif

namespace zumo::Updater {
namespace {

// The public half of tests/update/keys/test-signing.pem.
constexpr char TestKeyHex[] = "0c90485b360dae8b76c2cb0f3e5cf4d7b66734581674e7ab385d591030341200";

} // namespace

QByteArray pinnedPublicKey()
{
    return QByteArray::fromHex(ZUMO_UPDATE_PUBLIC_KEY);
}

bool isTestKey(const QByteArray& publicKey)
{
    return publicKey == QByteArray::fromHex(TestKeyHex);
}

QByteArray updateKeyFor(const QByteArray& pinned, bool trustTestKey)
{
    return isTestKey(pinned) && !trustTestKey ? QByteArray() : pinned;
}

QByteArray updateKey()
{
    return updateKeyFor(pinnedPublicKey(), qEnvironmentVariable(TrustTestKeyVariable) == QLatin1String("1"));
}

} // namespace zumo::Updater
