// Zumo's helper, started by the running Zumo so that it never loads the network stack, TLS,
// OpenSSL or libarchive itself; they are loaded only while the helper runs. Modes:
//   http [--ca FILE]                          one HTTP request (desktop/qt/HttpWire's lines)
//   verify KEYHEX SIGNATUREHEX < message      exit 0 when the Ed25519 signature is good, else 1
//   extract ARCHIVE LENGTH DEST ENTRIES BYTES exit 0 when unpacked, else 1 with the reason
// Not meant to be run by hand.
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

#include "desktop/qt/HttpChild.h"
#include "update/Ed25519.h"
#include "update/SafeExtract.h"

namespace {

int verify(const QStringList& args)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    const QByteArray message = in.readAll();
    const bool good = zumo::Updater::verifyEd25519(QByteArray::fromHex(args[1].toLatin1()), message,
                                                   QByteArray::fromHex(args[2].toLatin1()));
    return good ? 0 : 1;
}

int extract(const QStringList& args)
{
    bool lengthRead = false, entriesRead = false, bytesRead = false;
    const qint64 length = args[2].toLongLong(&lengthRead);
    zumo::Updater::ExtractLimits limits;
    limits.maxEntries = args[4].toInt(&entriesRead);
    limits.maxBytes = args[5].toLongLong(&bytesRead);
    if (!lengthRead || !entriesRead || !bytesRead)
        return 2;
    const QString error = zumo::Updater::extractArchive(args[1], length, args[3], limits);
    std::fputs(error.toUtf8().constData(), stdout);
    return error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("http") && (args.size() == 1 || (args.size() == 3 && args[1] == QLatin1String("--ca"))))
        return zumo::runHttpChild(args.value(2));
    if (mode == QLatin1String("verify") && args.size() == 3)
        return verify(args);
    if (mode == QLatin1String("extract") && args.size() == 6)
        return extract(args);
    std::fputs("zumo-net: Zumo's helper, started by Zumo; not meant to be run by hand\n", stderr);
    return 2;
}
