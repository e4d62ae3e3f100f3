#include "update/Ed25519.h"

#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace zumo::Updater {
namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using ContextPtr = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

KeyPtr readPrivateKey(const QByteArray& pem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), &BIO_free);
    if (!bio)
        return {nullptr, &EVP_PKEY_free};
    KeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    if (key && EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_ED25519)
        key.reset();
    return key;
}

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

} // namespace

bool verifyEd25519(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    if (publicKey.size() != Ed25519KeyBytes || signature.size() != Ed25519SignatureBytes)
        return false;
    KeyPtr key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), publicKey.size()),
               &EVP_PKEY_free);
    ContextPtr ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(ctx.get(), bytes(signature), signature.size(), bytes(message), message.size()) == 1;
}

QByteArray signEd25519(const QByteArray& privateKeyPem, const QByteArray& message)
{
    KeyPtr key = readPrivateKey(privateKeyPem);
    ContextPtr ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return {};
    QByteArray signature(Ed25519SignatureBytes, '\0');
    size_t length = signature.size();
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, bytes(message),
                       message.size()) != 1 ||
        length != size_t(Ed25519SignatureBytes))
        return {};
    return signature;
}

QByteArray publicKeyOf(const QByteArray& privateKeyPem)
{
    KeyPtr key = readPrivateKey(privateKeyPem);
    QByteArray raw(Ed25519KeyBytes, '\0');
    size_t length = raw.size();
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(raw.data()), &length) != 1 ||
        length != size_t(Ed25519KeyBytes))
        return {};
    return raw;
}

} // namespace zumo::Updater
