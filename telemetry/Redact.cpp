// Redaction and tail reading for log uploads.
#include "telemetry/Redact.h"

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
    QFile file(path);
    if (maxBytes <= 0 || !file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size > maxBytes && !file.seek(size - maxBytes))
        return {};
    return QString::fromUtf8(file.read(maxBytes));
}

} // namespace zumo
