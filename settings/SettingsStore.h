// A typed key/value store persisted as one JSON file per domain (the program's "user defaults").
// Reads come from memory and are safe from any thread; writes update memory at once and are
// saved atomically a moment later, coalesced, and always on flush() and at destruction.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zumo {

class Dispatcher;

class SettingsStore {
public:
    // Opens the domain stored at filePath (created on the first save). A file that cannot be
    // parsed is moved aside (see corruptCopyPath()) and the store starts empty. When dispatcher
    // is given, saves are coalesced through it (flushDelay seconds after the first change);
    // without one every change is saved at once.
    SettingsStore(QString filePath, Dispatcher* dispatcher = nullptr, double flushDelay = 0.5);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The path of the JSON file of a domain under $XDG_CONFIG_HOME/zumo (e.g. "com.zumo.app").
    static QString defaultPath(const QString& domain);

    // The stored value; QJsonValue::Undefined when the key is missing.
    QJsonValue value(const QString& key) const;
    bool contains(const QString& key) const;
    QStringList keys() const;
    QJsonObject snapshot() const;

    void setValue(const QString& key, const QJsonValue& value);
    void remove(const QString& key);
    // Removes every key that starts with prefix; returns how many were removed.
    int removeWithPrefix(const QString& prefix);

    // Saves pending changes now; true when the file on disk holds every change made so far.
    bool flush();
    QString filePath() const;
    // Where an unreadable file found at open was kept; empty when none was.
    QString corruptCopyPath() const;
    // Called (on any thread) with a human-readable line when something went wrong with the file.
    static void setProblemReporter(std::function<void(const QString&)> reporter);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zumo
