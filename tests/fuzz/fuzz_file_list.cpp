// Fuzzes the signed file list of an install folder: the input is signed with a key made at start,
// so the parser behind the signature sees every shape of list; the folder check never crashes and
// never accepts a list that does not describe the (empty) folder.
#include <QTemporaryDir>
#include <cstdint>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "tests/fuzz/FuzzCheck.h"
#include "update/BundleList.h"
#include "update/Ed25519.h"

namespace {

QByteArray makeKeyPem()
{
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* text = nullptr;
    const long length = BIO_get_mem_data(bio, &text);
    QByteArray pem(text, length);
    BIO_free(bio);
    EVP_PKEY_free(key);
    return pem;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QByteArray pem = makeKeyPem();
    static const QByteArray publicKey = zumo::Updater::publicKeyOf(pem);
    const QByteArray list(reinterpret_cast<const char*>(data), qsizetype(size));
    QTemporaryDir dir;
    if (!writeBytes(dir.filePath(QLatin1String(zumo::Updater::ListFileName)), list)
        || !writeBytes(dir.filePath(QLatin1String(zumo::Updater::ListSignatureName)), zumo::Updater::signEd25519(pem, list)))
        return 0;
    zumo::Updater::readSignedHeader(dir.path(), publicKey);
    if (zumo::Updater::folderMatchesSignedList(dir.path(), publicKey)) {
        // The folder holds only the list and its signature: a matching list names nothing else.
        const auto header = zumo::Updater::readSignedHeader(dir.path(), publicKey);
        check(header && zumo::Updater::describeFolder(dir.path(), *header) == list);
    }
    return 0;
}
