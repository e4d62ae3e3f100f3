// Whole-file reads and writes for tests that check what landed on disk.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zumo::test {

// The file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file's text without surrounding white space, as the session scripts write a value and a newline.
inline QString readTrimmed(const QString& path)
{
    return QString::fromUtf8(readAll(path)).trimmed();
}

// Replaces the file's contents, making its folder; fails the test when it cannot.
inline void writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The permission bits of the file or folder itself (a link is not followed); -1 when it is missing.
inline int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace zumo::test
