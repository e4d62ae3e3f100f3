// Redaction and tail reading for log uploads.
#include "telemetry/Redact.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <pwd.h>
#include <unistd.h>

namespace zumo {
namespace {

void replaceLiteral(QString& text, const QString& value, const QString& replacement)
{
    if (value.size() >= 3)
        text.replace(value, replacement, Qt::CaseSensitive);
}

} // namespace

RedactionFacts systemRedactionFacts()
{
    RedactionFacts facts;
    facts.home = QDir::homePath();
    if (const passwd* pw = ::getpwuid(::geteuid())) {
        facts.login = QString::fromLocal8Bit(pw->pw_name);
        facts.fullName = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0)
        facts.host = QString::fromLocal8Bit(host);
    return facts;
}

QString redact(const QString& text, const RedactionFacts& facts)
{
    static const QRegularExpression userPaths(QStringLiteral(R"re(/(Users|home)/[^/\s"']+)re"));
    QString out = text;
    replaceLiteral(out, facts.home, QStringLiteral("~"));
    replaceLiteral(out, facts.fullName, QStringLiteral("<user>"));
    replaceLiteral(out, facts.login, QStringLiteral("<user>"));
    replaceLiteral(out, facts.host, QStringLiteral("<host>"));
    out.replace(userPaths, QStringLiteral("/\\1/<user>"));
    return out;
}

QString readTail(const QString& path, qint64 maxBytes)
{
    if (maxBytes <= 0)
        return {};
    // Only a regular file is read: opening a FIFO planted in its place would block until
    // someone writes to it, and with it the quit that uploads the logs.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const qint64 size = file.size();
    if (size > maxBytes && !file.seek(size - maxBytes))
        return {};
    return QString::fromUtf8(file.read(maxBytes));
}

} // namespace zumo
