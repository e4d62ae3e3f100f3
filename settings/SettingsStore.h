// A typed key/value store persisted as one JSON file per domain (the program's "user defaults").
// Reads come from memory and are safe from any thread; writes update memory at once and are
// saved atomically a moment later, coalesced, and always on flush() and at destruction. A save
// writes only the keys this process changed over a fresh read of the file, so a value changed on
// disk since (by hand or by another program) is never written back; watchDisk() picks such
// changes up while the program runs.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/Listeners.h"

namespace zumo {

class Dispatcher;

class SettingsStore {
public:
    // Opens the domain stored at filePath (created on the first save). A file that cannot be
    // parsed, or holds something other than a JSON object, is moved aside (see corruptCopyPath()),
    // reported, and the store starts empty. Should even that move fail, or the file not be
    // readable at all (permissions), the file is left alone, the store starts empty, the problem
    // is reported once (an unreadable file also on standard error) and no save ever writes over
    // it: flush() returns false. The temporary files of a save that was killed are removed.
    // When dispatcher is given, saves are coalesced through it (flushDelay seconds after the first
    // change; the dispatcher must outlive the store); without one every change is saved at once,
    // on the calling thread.
    SettingsStore(QString filePath, Dispatcher* dispatcher = nullptr, double flushDelay = 0.5);
    // Saves what is pending; call it on the main thread when a dispatcher was given.
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The path of the JSON file of a domain under $XDG_CONFIG_HOME/zumo (e.g. "com.zumo.app").
    // A "/" in the domain becomes "_", so the path never leaves that folder.
    static QString defaultPath(const QString& domain);

    // The stored value; QJsonValue::Undefined when the key is missing.
    QJsonValue value(const QString& key) const;
    bool contains(const QString& key) const;
    QStringList keys() const;
    QJsonObject snapshot() const;

    // Safe from any thread; memory changes at once, the file at the next save. An undefined
    // value removes the key.
    void setValue(const QString& key, const QJsonValue& value);
    void remove(const QString& key);
    // Removes every key that starts with prefix; returns how many were removed.
    int removeWithPrefix(const QString& prefix);

    // Saves pending changes now; true when the file on disk holds every change made so far.
    // On failure the changes stay in memory and the next save tries again. Any thread. Keys
    // changed on disk since the last read and not changed here are taken from the file (and
    // announced); a file that no longer parses is kept aside first, as at open.
    bool flush();

    // Reads the file again and takes every key this process has no unsaved change of: a key
    // removed there goes here too. Keys whose value changed are announced. A file that does not
    // parse is reported once and the values in use stay. Main thread.
    void reload();
    // From now on reload()s a moment after the file changes on disk, whether replaced by a
    // rename (as every save does) or written in place; until the store goes. Main thread, with
    // a running Qt event loop. Creates the private folder when it is missing.
    void watchDisk();
    QString filePath() const;
    // Where an unreadable file found at open was kept; empty when none was.
    QString corruptCopyPath() const;

    // A key was set to a different value or removed (removeWithPrefix gives the prefix). Called
    // on the main thread: a change made on another thread is announced there through the
    // dispatcher, or, without one, on the thread that made it.
    Notifier<const QString&> changed;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zumo
