// What every fuzz target does with a broken promise: abort, so libFuzzer keeps the input; and
// the input written as a file for the targets that read one.
#pragma once

#include <QFile>
#include <cstdlib>

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
