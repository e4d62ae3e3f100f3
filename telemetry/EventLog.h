// The event log: "events.log" lines of "<UTC time with Z> <message>", written one after
// another on a single worker thread, trimmed so the file never stays above its cap.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>

#include "platform/Log.h"
#include "platform/PrivateDirectory.h"

namespace zumo {

class Clock;
class SettingsStore;

class EventLog {
public:
    static constexpr qint64 TrimAt = 600001;    // a write leaving the file this large trims it
    static constexpr qint64 KeepBytes = 250000; // what a trim keeps of the end

    // Starts the worker thread. An empty directory gives a log that drops every line (used when
    // no private directory could be made: better no log than one others can read or redirect).
    EventLog(QString directory, const Clock& clock);
    ~EventLog();  // detaches from appLog when installed, drains pending writes, stops the worker
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Formats the line now, on the calling thread, and queues its write. Any thread. The message
    // is written as given (UTF-8); a write that fails (missing directory, full disk, "events.log"
    // being a symbolic link or not a regular file) loses that line and nothing else. The first
    // failure is said once on standard error, since the log cannot carry it.
    void append(const QString& message);
    // Returns once every write queued before the call is on disk (or has failed). Any thread.
    void drain();
    QString directory() const;
    QString filePath() const;  // empty when the directory is

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The message with every line break and control character written as an escape (\n, \r, \t,
// \u001b), so text from outside (a server's version string) cannot start a line of its own.
QString escapeLogText(const QString& message);
// One log line: the moment in UTC as ISO 8601 with second precision and a Z, one space, the
// escaped message, a line feed; e.g. "2026-03-05T14:03:07Z start\n".
QByteArray formatLogLine(const QDateTime& moment, const QString& message);

// Appends line to the file at path (created 0600, never through a symbolic link), then trims the
// file to its last KeepBytes bytes when it has reached TrimAt bytes. False when the line could not
// be written (why, when given, then says what is wrong); a failed trim leaves the file whole and is
// retried by the next write.
bool appendLogLine(const QString& path, const QByteArray& line, QString* why = nullptr);

// The log directory: the one named by "logDir" when it still exists as a real directory directly
// inside base and is owned by this user; otherwise the newest such directory with a log
// directory's name (16 lower-case hex digits) already in base, so that a store that cannot keep
// "logDir" does not make a new one at every start; otherwise a new one of that name (mode 0700).
// The choice is stored under "logDir". Empty when base is empty. A failed creation still stores
// the path, so the next launch replaces it.
QString chooseLogDirectory(SettingsStore& store, const QString& base);

// Makes log the sink of appLog (nullptr detaches it). Returns once no appLog call still uses the
// previous log, so that log may be destroyed afterwards.
void installAppLog(EventLog* log);

} // namespace zumo
