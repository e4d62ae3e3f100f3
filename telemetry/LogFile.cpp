// Appending one line to "events.log" and trimming it, with plain descriptors so that a link or
// a special file planted in the log directory cannot redirect or stall our writes.
#include "telemetry/EventLog.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zumo {
namespace {

// O_NONBLOCK: opening a FIFO for writing would otherwise wait for a reader forever.
constexpr int OpenFlags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

QByteArray readTailOf(int fd, qint64 fileSize, qint64 keep)
{
    const qint64 from = fileSize > keep ? fileSize - keep : 0;
    QByteArray tail(fileSize - from, Qt::Uninitialized);
    qint64 done = 0;
    while (done < tail.size()) {
        const ssize_t n = ::pread(fd, tail.data() + done, size_t(tail.size() - done), from + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        done += n;
    }
    return tail;
}

// The tail goes to a new file that replaces the log in one rename, so a crash mid-trim leaves
// either the old log or the trimmed one, never a truncated half.
void replaceWith(const QByteArray& path, const QByteArray& tail)
{
    const QByteArray temp = path + ".trim";
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | OpenFlags, 0600);
    if (fd < 0)
        return;
    const bool written = writeAll(fd, tail.constData(), tail.size());
    ::close(fd);
    if (!written || ::rename(temp.constData(), path.constData()) != 0)
        ::unlink(temp.constData());
}

} // namespace

QString escapeLogText(const QString& message)
{
    QString out;
    out.reserve(message.size());
    for (const QChar c : message) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f || u == 0x85 || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QByteArray formatLogLine(const QDateTime& moment, const QString& message)
{
    // Qt::ISODate drops the milliseconds and writes a UTC moment with a Z.
    QString line = moment.toUTC().toString(Qt::ISODate);
    line += QLatin1Char(' ');
    line += escapeLogText(message);
    line += QLatin1Char('\n');
    return line.toUtf8();
}

bool appendLogLine(const QString& path, const QByteArray& line, QString* why)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | OpenFlags, 0600);
    if (fd < 0) {
        if (why)
            *why = errno == ELOOP ? QStringLiteral("it is a symbolic link") : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (why)
            *why = QStringLiteral("it is not a regular file");
        ::close(fd);
        return false;
    }
    const bool written = writeAll(fd, line.constData(), line.size());
    if (!written && why)
        *why = QString::fromLocal8Bit(std::strerror(errno));
    QByteArray tail;
    if (::fstat(fd, &st) == 0 && st.st_size >= EventLog::TrimAt)
        tail = readTailOf(fd, st.st_size, EventLog::KeepBytes);
    ::close(fd);
    if (!tail.isEmpty())
        replaceWith(native, tail);
    return written;
}

} // namespace zumo
