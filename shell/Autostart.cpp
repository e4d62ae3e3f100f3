// Writing the XDG autostart entry and recognising a launch at login.
#include "shell/Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/Log.h"
#include "settings/SettingsStore.h"

namespace zumo {
namespace {

// An Exec argument: quoted when it holds a reserved character, with ", `, $ and \ escaped inside
// the quotes, and every backslash doubled again because the whole value is a desktop-entry string.
QString execArgument(const QString& argument)
{
    static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString out = argument;
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (std::none_of(out.begin(), out.end(), [](QChar c) { return Reserved.contains(c); }))
        return out;
    QString quoted;
    for (QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString plainCommand(const QString& program)
{
    return execArgument(program) + QLatin1Char(' ') + QLatin1String(LoginFlag);
}

// A program in the bin folder of an install folder runs through sh, which falls back to the
// copies an update's swap leaves beside that folder: cut between its two renames, the folder is
// missing, and the copy started from beside it finishes the swap. The script holds no $, quote
// or backslash: systemd's autostart generator keeps "\$" as it stands, so a script with
// variables would find nothing to start. A path it could not hold starts the program alone.
QString loginCommand(const QString& program)
{
    const QFileInfo file(program);
    const QString folder = QDir::cleanPath(file.absolutePath() + QStringLiteral("/.."));
    static const QString Unquotable = QStringLiteral("'\"$\\`\n");
    if (file.fileName() != QLatin1String("zumo") || file.dir().dirName() != QLatin1String("bin") ||
        std::any_of(folder.begin(), folder.end(), [](QChar c) { return Unquotable.contains(c); }))
        return plainCommand(program);
    QStringList tries;
    for (const char* beside : {"", ".incoming", ".replaced"}) {
        const QString copy = QStringLiteral("'%1%2/bin/zumo'").arg(folder, QLatin1String(beside));
        tries << QStringLiteral("test -x %1 && exec %1 %2").arg(copy, QLatin1String(LoginFlag));
    }
    return QStringLiteral("/bin/sh -c ") + execArgument(tries.join(QLatin1String("; ")) + QStringLiteral("; exit 127"));
}

// An entry an earlier version wrote for this program, which started it directly, gains the
// fallback; an entry the user changed is theirs and left alone.
void refreshOlderEntry(const QString& path, const QString& program)
{
    const QByteArray current = autostartEntry(program);
    QByteArray older = current;
    older.replace(loginCommand(program).toUtf8(), plainCommand(program).toUtf8());
    QFile file(path);
    QString error;
    if (older != current && file.open(QIODevice::ReadOnly) && file.readAll() == older)
        writeAutostartEntry(path, program, error);
}

} // namespace

bool isLoginLaunch(const QStringList& arguments)
{
    return arguments.contains(QLatin1String(LoginFlag));
}

QString autostartPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/zumo.desktop");
}

QByteArray autostartEntry(const QString& program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Zumo\n"
                          "Comment=Keyboard window switcher\n"
                          "Exec=%1\n"
                          "Icon=zumo\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(loginCommand(program))
        .toUtf8();
}

bool writeAutostartEntry(const QString& path, const QString& program, QString& error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = QStringLiteral("cannot create the folder of %1").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(autostartEntry(program)) < 0 || !file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void registerLoginItemOnce(SettingsStore& store, const QString& path, const QString& program)
{
    if (store.value(QStringLiteral("loginDefaultDone")).toBool()) {
        refreshOlderEntry(path, program);
        return;
    }
    QString error;
    if (!writeAutostartEntry(path, program, error)) {
        appLog(QStringLiteral("login item not registered: ") + error);
        return;
    }
    store.setValue(QStringLiteral("loginDefaultDone"), true);
}

} // namespace zumo
