// Makes a signed Linux release from an install folder: the image (the folder packed as a tar
// archive with its signed file list and the signed statement), the manifest that offers it and
// the manifest's seal. With --seal-manifest it only seals an existing manifest again, before
// the published seal expires.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "platform/VendorService.h"
#include "update/Ed25519.h"
#include "update/FileDigest.h"
#include "update/ManifestSeal.h"
#include "update/PinnedKey.h"
#include "update/ReleaseMaker.h"

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "zumo-make-release: %s\n", qPrintable(message));
    return 1;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Writes manifest.sig beside the manifest, valid for the given days from now.
bool writeSeal(const QString& manifestPath, const QByteArray& key, double days)
{
    QFile file(manifestPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const double now = double(QDateTime::currentSecsSinceEpoch());
    const QByteArray seal = zumo::Updater::sealManifest(file.readAll(), key, now, now + days * 86400);
    return !seal.isEmpty() && writeFile(manifestPath + zumo::Updater::SealSuffix, seal);
}

int makeRelease(const QCommandLineParser& parser, const QByteArray& key, double days)
{
    for (const char* required : {"version", "folder", "out"}) {
        if (!parser.isSet(required))
            return fail(QStringLiteral("--%1 is required (see --help)").arg(required));
    }
    const QString host = zumo::parseVendorHost(parser.value("host"));
    if (host.isEmpty())
        return fail(parser.value("host") + " is not a host with an optional port");
    const QString version = parser.value("version");
    const QDir out(QFileInfo(parser.value("out")).absoluteFilePath());
    const QString name = "Zumo-" + version + ".tar.gz";
    const QString image = out.filePath(name);
    out.mkpath(QStringLiteral("."));
    const QString error = zumo::Updater::makeReleaseImage({parser.value("folder"), version, key, image});
    if (!error.isEmpty())
        return fail(error);
    const QUrl url(QStringLiteral("https://") + host + QStringLiteral("/dl/zumo/") + name);
    const QString digest = zumo::Updater::fileSHA256Hex(image).value_or(QString());
    const QByteArray manifest = zumo::Updater::manifestJson(version, url, digest, parser.value("notes"));
    if (digest.isEmpty() || !writeFile(out.filePath("latest.json"), manifest))
        return fail("cannot write latest.json");
    if (!writeSeal(out.filePath("latest.json"), key, days))
        return fail("cannot write latest.json.sig");
    std::printf("%s\n%s\n%s.sig\n", qPrintable(image), qPrintable(out.filePath("latest.json")),
                qPrintable(out.filePath("latest.json")));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Signs an install folder and writes Zumo-<version>.tar.gz, latest.json and latest.json.sig.");
    parser.addHelpOption();
    parser.addOptions({{"key", "The maker's Ed25519 private key (PEM).", "file"},
                       {"version", "The release's version, e.g. 2.4.0.", "version"},
                       {"folder", "The install folder (bin/zumo and the rest); its file list is written into it.", "dir"},
                       {"out", "Where the image, latest.json and latest.json.sig go.", "dir"},
                       {"host", "The vendor host (and port) serving /dl/zumo/.", "host[:port]", "pellwick.example"},
                       {"notes", "Release notes (plain text).", "text"},
                       {"valid-days", "How long the manifest's seal holds.", "days", "30"},
                       {"seal-manifest", "Only seal this manifest again (writes <file>.sig).", "file"}});
    parser.process(app);
    if (!parser.isSet("key"))
        return fail("--key is required (see --help)");
    QFile keyFile(parser.value("key"));
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail("cannot read the key " + keyFile.fileName());
    const QByteArray key = keyFile.readAll();
    const QByteArray publicKey = zumo::Updater::publicKeyOf(key);
    if (publicKey.isEmpty())
        return fail(keyFile.fileName() + " is not an Ed25519 private key in PEM form");
    // The tool comes from the same build as the folder it packs: copies of that build would
    // refuse everything signed with another key.
    if (publicKey != zumo::Updater::pinnedPublicKey())
        return fail("this build pins another key than " + keyFile.fileName() + " (configure it with "
                    "-DZUMO_UPDATE_PUBLIC_KEY=" + QString::fromLatin1(publicKey.toHex()) + ")");
    bool ok = false;
    const double days = parser.value("valid-days").toDouble(&ok);
    if (!ok || days <= 0)
        return fail("--valid-days must be a positive number");
    if (parser.isSet("seal-manifest"))
        return writeSeal(parser.value("seal-manifest"), key, days) ? 0 : fail("cannot seal " + parser.value("seal-manifest"));
    return makeRelease(parser, key, days);
}
