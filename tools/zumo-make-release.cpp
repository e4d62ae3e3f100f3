// Makes a signed Linux release from an install folder: the image (the folder packed as a tar
// archive with its signed file list and the signed statement) and the manifest that offers it.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

#include "update/Ed25519.h"
#include "update/FileDigest.h"
#include "update/Manifest.h"
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Signs an install folder and writes Zumo-<version>.tar.gz and latest.json.");
    parser.addHelpOption();
    parser.addOptions({{"key", "The maker's Ed25519 private key (PEM).", "file"},
                       {"version", "The release's version, e.g. 2.4.0.", "version"},
                       {"folder", "The install folder (bin/zumo and the rest); its file list is written into it.", "dir"},
                       {"out", "Where the image and latest.json go.", "dir"},
                       {"host", "The vendor host serving /dl/zumo/.", "host", "pellwick.example"},
                       {"notes", "Release notes (plain text).", "text"}});
    parser.process(app);
    for (const char* required : {"key", "version", "folder", "out"}) {
        if (!parser.isSet(required))
            return fail(QStringLiteral("--%1 is required (see --help)").arg(required));
    }
    QFile keyFile(parser.value("key"));
    if (!keyFile.open(QIODevice::ReadOnly))
        return fail("cannot read the key " + keyFile.fileName());
    const QByteArray key = keyFile.readAll();
    if (zumo::Updater::publicKeyOf(key).isEmpty())
        return fail(keyFile.fileName() + " is not an Ed25519 private key in PEM form");
    if (zumo::Updater::publicKeyOf(key) != zumo::Updater::pinnedPublicKey())
        std::fprintf(stderr, "zumo-make-release: warning: this build pins another key; its copies refuse this image\n");
    const QString version = parser.value("version");
    const QString name = "Zumo-" + version + ".tar.gz";
    const QString image = QDir(parser.value("out")).filePath(name);
    QDir().mkpath(parser.value("out"));
    const QString error = zumo::Updater::makeReleaseImage({parser.value("folder"), version, key, image});
    if (!error.isEmpty())
        return fail(error);
    QUrl url = zumo::Updater::manifestUrl(parser.value("host"));
    url.setPath("/dl/zumo/" + name);
    const QString digest = zumo::Updater::fileSHA256Hex(image).value_or(QString());
    const QByteArray manifest = zumo::Updater::manifestJson(version, url, digest, parser.value("notes"));
    if (digest.isEmpty() || !writeFile(QDir(parser.value("out")).filePath("latest.json"), manifest))
        return fail("cannot write latest.json");
    std::printf("%s\n%s\n", qPrintable(image), qPrintable(QDir(parser.value("out")).filePath("latest.json")));
    return 0;
}
