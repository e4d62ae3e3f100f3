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
                          "Exec=%1 %2\n"
                          "Icon=zumo\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(program), QLatin1String(LoginFlag))
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
    if (store.value(QStringLiteral("loginDefaultDone")).toBool())
        return;
    QString error;
    if (!writeAutostartEntry(path, program, error)) {
        appLog(QStringLiteral("login item not registered: ") + error);
        return;
    }
    store.setValue(QStringLiteral("loginDefaultDone"), true);
}

} // namespace zumo
