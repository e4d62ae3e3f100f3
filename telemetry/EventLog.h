// The event log: "events.log" lines of "<UTC time with Z> <message>", written one after
// another on a single worker thread, trimmed so the file never stays above its cap.
#pragma once

#include <QString>
#include <memory>

namespace zumo {

class Clock;
class SettingsStore;

class EventLog {
public:
    static constexpr qint64 TrimAt = 600001;    // a write leaving the file this large trims it
    static constexpr qint64 KeepBytes = 250000; // what a trim keeps of the end

    EventLog(QString directory, const Clock& clock);
    ~EventLog();  // drains pending writes
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // Formats the line now, on the calling thread, and queues its write. Any thread.
    void append(const QString& message);
    // Returns once every write queued before the call is on disk.
    void drain();
    QString directory() const;
    QString filePath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The private per-user base for logs and work files: $XDG_CACHE_HOME/zumo (or ~/.cache/zumo),
// created with mode 0700; empty when it cannot be made private to this user.
QString privateBaseDirectory();
// The log directory: the one named by "logDir" when it still exists inside base and is ours,
// otherwise a new directory named by 16 random hex digits inside base, stored under "logDir".
QString chooseLogDirectory(SettingsStore& store, const QString& base);

// The one logging call of the program; does nothing until a log is installed.
void appLog(const QString& message);
void installAppLog(EventLog* log);

} // namespace zumo
