// The signed list of a Linux install folder: its identifier, version and signer, then every
// folder, file (with SHA-256 and executable bit) and link inside, so the folder as a whole can be
// checked against the maker's signature before it is installed.
//   zumo-files 1
//   identifier com.zumo.app
//   version 2.4.1
//   signer K7QW3MZ8PD
//   d<TAB>bin
//   f<TAB><sha256><TAB>755<TAB>bin/zumo
//   l<TAB><target><TAB>lib/libz.so
// Entries are sorted by path. The list is ".zumo-files" at the top of the folder, its Ed25519
// signature ".zumo-files.sig"; both are left out of the list itself.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zumo::Updater {

inline constexpr char ListFileName[] = ".zumo-files";
inline constexpr char ListSignatureName[] = ".zumo-files.sig";

struct ListHeader {
    QString identifier;
    QString version;
    QString signer;
};

// The list text of the folder as it is now; nothing when it holds anything else than folders,
// regular files and links, or a name with a tab or line feed, or cannot be read.
std::optional<QByteArray> describeFolder(const QString& folder, const ListHeader& header);

// The header of the folder's list when the list carries publicKey's signature; nothing otherwise
// (missing, altered, signed by another key, malformed). Only signed content is returned.
std::optional<ListHeader> readSignedHeader(const QString& folder, const QByteArray& publicKey);

// The signature holds and the folder is exactly what its list says, file contents included.
bool folderMatchesSignedList(const QString& folder, const QByteArray& publicKey);

// The maker's side: writes the list and its signature into folder. False on failure.
bool signFolder(const QString& folder, const ListHeader& header, const QByteArray& privateKeyPem);

} // namespace zumo::Updater
