// The maker's side of a Linux release: sign an install folder's file list, pack it into a tar
// archive, sign the image, and describe it in a manifest. Used by tools/zumo-make-release and by
// the tests, so both build images exactly the way the program checks them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace zumo::Updater {

struct ReleaseInput {
    QString folder;        // the install folder (bin/zumo and the rest)
    QString version;
    QByteArray keyPem;     // the maker's Ed25519 private key
    QString imagePath;     // the image to write
};

// Writes the signed file list into the folder, packs it as "Zumo/…" into a gzip-compressed tar
// archive at imagePath and appends the signed statement. Empty on success, else what failed.
QString makeReleaseImage(const ReleaseInput& input);

// Packs folder into a gzip-compressed tar archive at archivePath, every entry named below
// topName. Folders, regular files (with their executable bit) and links only. Empty on success.
QString writeTarArchive(const QString& folder, const QString& topName, const QString& archivePath);

// The manifest JSON for an image: version, url, sha256 and notes (omitted when empty).
QByteArray manifestJson(const QString& version, const QUrl& url, const QString& sha256, const QString& notes);

} // namespace zumo::Updater
