// The settings file on disk: reading it, keeping a broken one aside, and atomic private writes.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace zumo {

// What one read of the settings file found.
struct SettingsFileRead {
    enum class State { missing, ok, unparsable, unreadable };
    State state = State::missing;
    QJsonObject data;  // the object when ok
    QByteArray bytes;  // what was read; empty when missing or unreadable
    QString why;       // what was wrong when unparsable or unreadable
};

SettingsFileRead readSettingsFile(const QString& path);

// Moves a file that does not parse to "<name>.corrupt-<UTC stamp>" so that no save can destroy
// it; the new path, or empty when even the move failed.
QString keepCorruptFile(const QString& path);

// Writes bytes through a temporary file, a sync to disk and a rename, with mode 0600, creating
// a private folder when it is missing. False with why on failure; the old file is then intact.
bool writeSettingsFile(const QString& path, const QByteArray& bytes, QString& why);

// Creates the folder, private to the user, when it is missing.
bool ensureSettingsFolder(const QString& dirPath, QString& why);

// Removes the temporary files of saves killed before their rename ("<name>.XXXXXX" beside the
// file, regular files of this user only).
void removeSaveLeftovers(const QString& path);

} // namespace zumo
