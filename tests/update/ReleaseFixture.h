// Release images for the tests: a small install folder signed with the test key, packed and
// signed the way the maker's tool does it, and hand-made hostile archives.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <functional>
#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"
#include "update/BundleList.h"
#include "update/PinnedKey.h"
#include "update/ReleaseMaker.h"
#include "update/SignedImage.h"

namespace zumo::test {

inline QByteArray testKey(const char* name = "test-signing.pem")
{
    return readAll(QStringLiteral(ZUMO_TEST_KEYS "/") + name);
}

// The public half of the test key, which the tests hand to the code they check.
inline QByteArray testPublicKey()
{
    return QByteArray::fromHex(readAll(QStringLiteral(ZUMO_TEST_KEYS "/test-signing.pub.hex")).trimmed());
}

// An install folder of version: bin/zumo (a script that notes it ran), a library and a link.
inline void makeInstallFolder(const QString& folder, const QString& version)
{
    writeAll(folder + "/bin/zumo", "#!/bin/sh\necho " + version.toUtf8() + " >> \"$ZUMO_TEST_RAN\"\n");
    QFile::setPermissions(folder + "/bin/zumo", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeAll(folder + "/lib/libzumo.so.1.0", QByteArray("library ") + version.toUtf8());
    QFile::link("libzumo.so.1.0", folder + "/lib/libzumo.so.1");
}

// The same, its file list signed with the test key; false when signing failed.
inline bool makeSignedFolder(const QString& folder, const QString& version)
{
    makeInstallFolder(folder, version);
    return Updater::signFolder(folder, {Updater::productIdentifier(), version, Updater::makerIdentifier()}, testKey());
}

// Packs the entries the test adds (by libarchive calls) into a tar archive at path.
inline void writeTar(const QString& path, const std::function<void(struct archive*)>& addEntries)
{
    struct archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    ASSERT_EQ(archive_write_open_filename(writer, QFile::encodeName(path).constData()), ARCHIVE_OK);
    addEntries(writer);
    archive_write_close(writer);
    archive_write_free(writer);
}

// Adds one entry: type AE_IFREG with contents, AE_IFDIR, AE_IFLNK with link as target,
// AE_IFCHR/AE_IFIFO, or a hard link to link when hardlink is set.
inline void addEntry(struct archive* writer, const char* name, unsigned type, const QByteArray& contents = {},
                     const char* link = nullptr, bool hardlink = false)
{
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name);
    archive_entry_set_filetype(e, type);
    archive_entry_set_perm(e, 0755);
    if (type == AE_IFREG && !hardlink)
        archive_entry_set_size(e, contents.size());
    if (link && hardlink)
        archive_entry_set_hardlink(e, link);
    else if (link)
        archive_entry_set_symlink(e, link);
    archive_write_header(writer, e);
    if (!contents.isEmpty())
        archive_write_data(writer, contents.constData(), size_t(contents.size()));
    archive_entry_free(e);
}

} // namespace zumo::test
