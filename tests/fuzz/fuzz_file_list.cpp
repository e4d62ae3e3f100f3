// Fuzzes the signed file list of an install folder: the input is signed with the tests' signing
// key, so the parser behind the signature sees every shape of list; the folder check never
// crashes and never accepts a list that does not describe the (empty) folder.
#include <QTemporaryDir>
#include <cstdint>

#include "tests/fuzz/FuzzCheck.h"
#include "update/BundleList.h"
#include "update/Ed25519.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QByteArray pem = [] {
        QFile key(QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pem"));
        return key.open(QIODevice::ReadOnly) ? key.readAll() : QByteArray();
    }();
    check(!pem.isEmpty());
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
