// The login item on the Linux desktop: an XDG autostart entry whose command carries --login, so
// a launch at login is known (and opens no window).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zumo {

class SettingsStore;

inline constexpr char LoginFlag[] = "--login";

// True when the command line carries LoginFlag.
bool isLoginLaunch(const QStringList& arguments);
// $XDG_CONFIG_HOME/autostart/zumo.desktop ($HOME/.config when unset or not absolute).
QString autostartPath();
// The desktop entry that starts program at login, program quoted as desktop entries require.
QByteArray autostartEntry(const QString& program);
// Writes the entry atomically, creating the folder; false with error set when it cannot.
bool writeAutostartEntry(const QString& path, const QString& program, QString& error);
// Registers Zumo once: writes the entry unless "loginDefaultDone" is set, and sets it only when
// the entry was written, so a failure is tried again at the next launch. A user who later
// removes the entry is not overruled.
void registerLoginItemOnce(SettingsStore& store, const QString& path, const QString& program);

} // namespace zumo
