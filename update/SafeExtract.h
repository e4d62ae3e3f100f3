// Unpacking a release image's tar payload into an empty directory, refusing anything that could
// write outside it or create something other than plain files, folders and links that stay
// inside.
#pragma once

#include <QString>
#include <QtGlobal>

namespace zumo::Updater {

struct ExtractLimits {
    int maxEntries = 20000;
    qint64 maxBytes = qint64(1) << 30;  // unpacked file contents
};

// Reads the first `length` bytes of the file at archivePath as a tar archive (plain, gzip or
// xz) and writes its entries below dest, an existing empty directory. Refused, with a reason for
// the log: an absolute name or one with a ".." piece, a device, FIFO or socket, any hard link, a
// symbolic link whose target is absolute or, followed through the other links of the archive,
// leads out of dest (checked once all are made), a name reached through a link,
// a name already present, more than maxEntries entries or more than maxBytes of contents.
// Files get mode 0755 when the archive marks them executable, else 0644; folders 0755; owners
// and special bits are never taken from the archive. On refusal what was written stays for the
// caller to delete. Returns an empty string on success. Any thread.
QString extractArchive(const QString& archivePath, qint64 length, const QString& dest,
                       const ExtractLimits& limits = {});

} // namespace zumo::Updater
