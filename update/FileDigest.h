// SHA-256 of files (Qt's hash), streamed in 1 MiB reads so a large download is never held in memory.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

namespace zumo::Updater {

inline constexpr qint64 DigestChunk = 1048576;

// The file's digest as 64 lower-case hex digits; nothing when the file cannot be opened. A read
// error ends the reading (the digest then cannot match). Any thread.
std::optional<QString> fileSHA256Hex(const QString& path);

// The raw digest of the next `length` bytes of device (all remaining bytes when length < 0);
// nothing when fewer bytes could be read.
std::optional<QByteArray> sha256Of(QIODevice& device, qint64 length);

} // namespace zumo::Updater
