// The settings file on disk: reads that tell missing, broken and unreadable apart, the corrupt
// copy, atomic writes and the leftovers of killed saves.
#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zumo {
namespace {

// "<name>.json.corrupt-20260305T120000Z", with "-2", "-3"... when that name is taken.
QString corruptCopyName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = path + QStringLiteral(".corrupt-") + stamp;
    QString candidate = base;
    for (int n = 2; QFileInfo::exists(candidate) && n < 1000; ++n)
        candidate = base + QLatin1Char('-') + QString::number(n);
    return candidate;
}

SettingsFileRead failed(SettingsFileRead::State state, QByteArray bytes, QString why)
{
    SettingsFileRead read;
    read.state = state;
    read.bytes = std::move(bytes);
    read.why = std::move(why);
    return read;
}

} // namespace

SettingsFileRead readSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return failed(SettingsFileRead::State::unreadable, {}, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failed(SettingsFileRead::State::unreadable, {}, file.errorString());
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return failed(SettingsFileRead::State::unparsable, bytes,
                      error.errorString() + QStringLiteral(" at byte ") + QString::number(error.offset));
    if (!doc.isObject())
        return failed(SettingsFileRead::State::unparsable, bytes, QStringLiteral("not a JSON object"));
    SettingsFileRead read;
    read.state = SettingsFileRead::State::ok;
    read.data = doc.object();
    read.bytes = bytes;
    return read;
}

QString keepCorruptFile(const QString& path)
{
    const QString copy = corruptCopyName(path);
    return QFile::rename(path, copy) ? copy : QString();
}

// A save killed between writing its temporary file and renaming it leaves "<name>.XXXXXX" (six
// letters or digits, QSaveFile's naming) beside the file. Only regular files of this user with
// exactly that name are removed; unlink never follows a link, and lstat keeps links out anyway.
void removeSaveLeftovers(const QString& path)
{
    const QFileInfo info(path);
    static const QRegularExpression suffix(QStringLiteral("^\\.[A-Za-z0-9]{6}$"));
    const QString name = info.fileName();
    const QStringList candidates =
        QDir(info.absolutePath()).entryList({name + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& candidate : candidates) {
        if (!suffix.match(candidate.mid(name.size())).hasMatch())
            continue;
        const QByteArray native = QFile::encodeName(info.absolutePath() + QLatin1Char('/') + candidate);
        struct stat st {};
        if (::lstat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(native.constData());
    }
}

bool ensureSettingsFolder(const QString& dirPath, QString& why)
{
    const QFileInfo info(dirPath);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent)) {
        why = QStringLiteral("cannot create folder ") + parent;
        return false;
    }
    if (::mkdir(QFile::encodeName(dirPath).constData(), 0700) != 0 && errno != EEXIST) {
        why = QStringLiteral("cannot create folder %1: %2").arg(dirPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool writeSettingsFile(const QString& path, const QByteArray& bytes, QString& why)
{
    if (!ensureSettingsFolder(QFileInfo(path).absolutePath(), why))
        return false;
    QSaveFile file(path);
    // A direct write could leave a half-written file behind for a reader to find.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    // Filesystems without Unix modes refuse this; the settings are still worth saving there.
    (void)file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        why = file.errorString();
        file.cancelWriting();
        return false;
    }
    // commit() syncs the data to disk (fdatasync in Qt 6.4) before renaming it over the file.
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

} // namespace zumo
