// The JSON-file key/value store: in-memory reads under a reader/writer lock, coalesced atomic
// saves that merge over the file, and reloads when the file changes on disk.
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QJsonDocument>
#include <QReadWriteLock>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "settings/SettingsFile.h"

namespace zumo {
namespace {

// Editors that write in place send several change events; the file is read once they settle.
constexpr double ReloadDelaySec = 0.2;

void report(const QString& line)
{
    appLog(line);
}

// What reading the file at open found.
struct Loaded {
    QJsonObject data;
    QByteArray bytes;
    QString corruptCopy;   // where a file that did not parse was kept
    bool writable = true;  // false when the file there must be left untouched
};

// Keeps a file that does not parse under a new name so that the next save cannot destroy it.
Loaded setAside(const QString& path, const QString& why)
{
    Loaded loaded;
    const QString copy = keepCorruptFile(path);
    if (!copy.isEmpty()) {
        loaded.corruptCopy = copy;
        report(QStringLiteral("Settings file %1 could not be parsed (%2); it was kept as %3 and the defaults apply.")
                   .arg(path, why, copy));
        return loaded;
    }
    loaded.writable = false;
    report(QStringLiteral("Settings file %1 could not be parsed (%2) nor moved aside; the defaults apply and "
                          "changes will not be saved until the file is repaired or removed.")
               .arg(path, why));
    return loaded;
}

// A file that exists but cannot be opened or read (permissions, an I/O error) may hold good
// settings: it stays where it is, untouched for the whole run, and the user learns how to fix it.
Loaded leaveUnreadable(const QString& path, const QString& why)
{
    const QString line = QStringLiteral("Settings file %1 cannot be read (%2). Zumo uses the default settings "
                                        "until it restarts and saves nothing over the file; make it readable "
                                        "and writable by you (chmod u+rw) and start Zumo again.")
                             .arg(path, why);
    report(line);
    std::fprintf(stderr, "zumo: %s\n", qPrintable(line));
    Loaded loaded;
    loaded.writable = false;
    return loaded;
}

Loaded load(const QString& path)
{
    const SettingsFileRead read = readSettingsFile(path);
    switch (read.state) {
    case SettingsFileRead::State::missing:
        return {};
    case SettingsFileRead::State::unreadable:
        return leaveUnreadable(path, read.why);
    case SettingsFileRead::State::unparsable:
        return setAside(path, read.why);
    case SettingsFileRead::State::ok:
        break;
    }
    return {read.data, read.bytes, {}, true};
}

} // namespace

// Shared with the closures handed to the dispatcher, which do nothing once the store is gone.
struct SettingsCore {
    QString path;
    Dispatcher* dispatcher = nullptr;
    double flushDelay = 0.5;
    QString corruptCopy;
    bool writable = true;

    mutable QReadWriteLock lock;
    QJsonObject data;                    // guarded by lock
    quint64 generation = 0;              // guarded by lock; bumped by every change made here
    QHash<QString, quint64> changedHere; // guarded by lock; unsaved keys -> generation of their change

    std::mutex diskMutex;        // one read or save of the file at a time
    QByteArray diskBytes;        // guarded by diskMutex; the file as last read or written
    bool failedQuietly = false;  // guarded by diskMutex; the last save was refused without a report
    std::atomic<bool> saveScheduled{false};
    Dispatcher::TimerId timer = 0; // main thread only
    // Tells the listeners about keys the file changed; set by the store, cleared as it goes.
    std::function<void(const QStringList&)> announce; // guarded by diskMutex

    // Writes this process's changes over the file when there are any; false when that failed.
    bool save();
    // Takes the file's changes into memory; the keys that changed. False when a save holds the file.
    bool reload(QStringList& heard, QStringList& reports);

private:
    // What one save found and did, reported once the file is let go.
    struct SaveOutcome {
        QStringList heard;
        QStringList reports;
        QString problem;
    };
    void saveLocked(SaveOutcome& outcome);
    // Takes every key of disk this process has no unsaved change of; the keys that changed.
    QStringList takeFromDisk(const QJsonObject& disk);
    // The file's current contents, merged into memory: false when it must not be written over.
    bool mergeBeforeSave(SaveOutcome& outcome);
};

QStringList SettingsCore::takeFromDisk(const QJsonObject& disk)
{
    QStringList heard;
    QWriteLocker writing(&lock);
    QSet<QString> keys;
    for (const QString& key : disk.keys())
        keys.insert(key);
    for (const QString& key : data.keys())
        keys.insert(key);
    for (const QString& key : keys) {
        const QJsonValue there = disk.value(key);
        if (changedHere.contains(key) || data.value(key) == there)
            continue;
        if (there.isUndefined())
            data.remove(key);
        else
            data.insert(key, there);
        heard << key;
    }
    heard.sort();
    return heard;
}

bool SettingsCore::reload(QStringList& heard, QStringList& reports)
{
    std::unique_lock reading(diskMutex, std::try_to_lock);
    if (!reading.owns_lock())
        return false;
    if (!writable)
        return true;  // the unreadable file found at open stays out of the run
    const SettingsFileRead read = readSettingsFile(path);
    if (read.state == SettingsFileRead::State::unreadable || read.bytes == diskBytes)
        return true;
    diskBytes = read.bytes;
    if (read.state == SettingsFileRead::State::unparsable) {
        reports << QStringLiteral("Settings file %1 was changed on disk but cannot be parsed (%2); the settings in "
                                  "use stay, and the next save keeps that file aside.").arg(path, read.why);
        return true;
    }
    heard = takeFromDisk(read.data);
    return true;
}

bool SettingsCore::mergeBeforeSave(SaveOutcome& outcome)
{
    const SettingsFileRead read = readSettingsFile(path);
    switch (read.state) {
    case SettingsFileRead::State::unreadable:
        outcome.problem = QStringLiteral("Settings could not be saved to %1 (the file cannot be read now: %2); the "
                                         "changes are kept in memory and saving is tried again later.").arg(path, read.why);
        return false;
    case SettingsFileRead::State::unparsable: {
        const QString copy = keepCorruptFile(path);
        if (copy.isEmpty()) {
            outcome.problem = QStringLiteral("Settings could not be saved to %1: it was changed on disk, cannot be "
                                             "parsed (%2) nor moved aside; the changes are kept in memory.").arg(path, read.why);
            return false;
        }
        outcome.reports << QStringLiteral("Settings file %1 was changed on disk and cannot be parsed (%2); it was "
                                          "kept as %3 and the settings in use were saved.").arg(path, read.why, copy);
        return true;
    }
    case SettingsFileRead::State::missing:
    case SettingsFileRead::State::ok:
        break;
    }
    if (read.bytes != diskBytes)
        outcome.heard = takeFromDisk(read.data);
    return true;
}

bool SettingsCore::save()
{
    SaveOutcome outcome;
    bool kept = true;
    std::function<void(const QStringList&)> tell;
    {
        const std::lock_guard saving(diskMutex);
        failedQuietly = false;
        saveLocked(outcome);
        kept = !failedQuietly;
        tell = announce;  // the store may be going on the main thread meanwhile
    }
    // Told outside the lock: a listener or the reporter may well write to a store itself.
    if (!outcome.heard.isEmpty() && tell)
        tell(outcome.heard);
    for (const QString& line : outcome.reports)
        report(line);
    if (outcome.problem.isEmpty())
        return kept;
    report(outcome.problem);
    return false;
}

void SettingsCore::saveLocked(SaveOutcome& outcome)
{
    {
        QReadLocker reading(&lock);
        if (changedHere.isEmpty())
            return;
    }
    if (!writable) {
        failedQuietly = true;
        return;  // said once at open; the file there is kept untouched
    }
    if (!mergeBeforeSave(outcome))
        return;
    QJsonObject copy;
    quint64 copyGeneration = 0;
    {
        QReadLocker reading(&lock);
        copy = data;
        copyGeneration = generation;
    }
    const QByteArray bytes = QJsonDocument(copy).toJson(QJsonDocument::Indented);
    QString why;
    if (!writeSettingsFile(path, bytes, why)) {
        outcome.problem = QStringLiteral("Settings could not be saved to %1 (%2); the changes are kept in memory and "
                                         "saving is tried again later.").arg(path, why);
        return;
    }
    diskBytes = bytes;
    QWriteLocker writing(&lock);
    for (auto it = changedHere.begin(); it != changedHere.end();)
        it = it.value() <= copyGeneration ? changedHere.erase(it) : std::next(it);
}

struct SettingsStore::Impl {
    std::shared_ptr<SettingsCore> core = std::make_shared<SettingsCore>();

    // Marks key as changed here; lock held for writing.
    void noteChange(const QString& key);
    // Saves now, or makes sure one save is scheduled on the main thread.
    void changed();
    // Tells the store's listeners, on the main thread when it can.
    void announce(SettingsStore& store, const QString& key);
    // A change event from the folder or the file: reload once they settle.
    void diskChanged(SettingsStore& store);

    std::unique_ptr<QFileSystemWatcher> watcher;
    Dispatcher::TimerId reloadTimer = 0;
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};

void SettingsStore::Impl::noteChange(const QString& key)
{
    core->changedHere.insert(key, ++core->generation);
}

void SettingsStore::Impl::announce(SettingsStore& store, const QString& key)
{
    if (store.changed.empty())
        return;
    const QCoreApplication* app = QCoreApplication::instance();
    if (!core->dispatcher || !app || QThread::currentThread() == app->thread()) {
        store.changed.notify(key);
        return;
    }
    core->dispatcher->post([&store, key, weak = std::weak_ptr<int>(alive)] {
        if (!weak.expired())
            store.changed.notify(key);
    });
}

void SettingsStore::Impl::changed()
{
    if (!core->dispatcher) {
        core->save();
        return;
    }
    if (core->saveScheduled.exchange(true))
        return;
    // Timers may only be set on the main thread, and a change may come from any thread.
    std::weak_ptr<SettingsCore> weak = core;
    core->dispatcher->post([weak] {
        auto core = weak.lock();
        if (!core)
            return;
        core->timer = core->dispatcher->after(core->flushDelay, [weak] {
            auto core = weak.lock();
            if (!core)
                return;
            core->timer = 0;
            core->saveScheduled = false;
            // The disk sync takes milliseconds; on the main thread it could delay a switch.
            core->dispatcher->background(Quality::Utility, [weak] {
                if (auto core = weak.lock())
                    core->save();
            });
        });
    });
}

void SettingsStore::Impl::diskChanged(SettingsStore& store)
{
    // A rename puts a new file in place and the watch on the old one goes with it: watch afresh.
    const QString path = core->path;
    watcher->removePath(path);
    if (QFileInfo(path).isReadable())
        watcher->addPath(path);
    if (!core->dispatcher)
        return store.reload();
    if (reloadTimer != 0)
        return;
    reloadTimer = core->dispatcher->after(ReloadDelaySec, [this, &store] {
        reloadTimer = 0;
        store.reload();
    });
}

SettingsStore::SettingsStore(QString filePath, Dispatcher* dispatcher, double flushDelay) : d(std::make_unique<Impl>())
{
    auto& core = *d->core;
    core.path = std::move(filePath);
    core.dispatcher = dispatcher;
    core.flushDelay = flushDelay;
    Loaded loaded = load(core.path);
    if (loaded.writable)
        removeSaveLeftovers(core.path);
    core.data = std::move(loaded.data);
    core.diskBytes = std::move(loaded.bytes);
    core.corruptCopy = loaded.corruptCopy;
    core.writable = loaded.writable;
    // A save may run on a worker: the listeners hear the file's changes on the main thread.
    core.announce = [this, dispatcher, weak = std::weak_ptr<int>(d->alive)](const QStringList& keys) {
        auto tell = [this, weak, keys] {
            if (weak.expired())
                return;
            for (const QString& key : keys)
                changed.notify(key);
        };
        if (dispatcher)
            dispatcher->post(tell);
        else
            tell();
    };
}

SettingsStore::~SettingsStore()
{
    auto& core = *d->core;
    if (core.dispatcher && core.timer != 0)
        core.dispatcher->cancel(core.timer);
    if (core.dispatcher && d->reloadTimer != 0)
        core.dispatcher->cancel(d->reloadTimer);
    {
        const std::lock_guard clearing(core.diskMutex);
        core.announce = nullptr;
    }
    core.save();
}

QString SettingsStore::defaultPath(const QString& domain)
{
    QString name = domain;
    // A domain is a single file name; never let it climb out of the folder.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_") + name;
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/zumo/") + name + QStringLiteral(".json");
}

QJsonValue SettingsStore::value(const QString& key) const
{
    QReadLocker reading(&d->core->lock);
    return d->core->data.value(key);
}

bool SettingsStore::contains(const QString& key) const
{
    QReadLocker reading(&d->core->lock);
    return d->core->data.contains(key);
}

QStringList SettingsStore::keys() const
{
    QReadLocker reading(&d->core->lock);
    return d->core->data.keys();
}

QJsonObject SettingsStore::snapshot() const
{
    QReadLocker reading(&d->core->lock);
    return d->core->data;
}

void SettingsStore::setValue(const QString& key, const QJsonValue& value)
{
    if (value.isUndefined()) {
        remove(key);
        return;
    }
    {
        QWriteLocker writing(&d->core->lock);
        if (d->core->data.value(key) == value)
            return;
        d->core->data.insert(key, value);
        d->noteChange(key);
    }
    d->changed();
    d->announce(*this, key);
}

void SettingsStore::remove(const QString& key)
{
    {
        QWriteLocker writing(&d->core->lock);
        if (!d->core->data.contains(key))
            return;
        d->core->data.remove(key);
        d->noteChange(key);
    }
    d->changed();
    d->announce(*this, key);
}

int SettingsStore::removeWithPrefix(const QString& prefix)
{
    int removed = 0;
    {
        QWriteLocker writing(&d->core->lock);
        auto& data = d->core->data;
        for (auto it = data.begin(); it != data.end();) {
            if (!it.key().startsWith(prefix)) {
                ++it;
                continue;
            }
            d->noteChange(it.key());
            it = data.erase(it);
            ++removed;
        }
    }
    if (removed > 0) {
        d->changed();
        d->announce(*this, prefix);
    }
    return removed;
}

bool SettingsStore::flush()
{
    return d->core->save();
}

void SettingsStore::reload()
{
    QStringList heard;
    QStringList reports;
    if (!d->core->reload(heard, reports)) {
        // A save holds the file: try again once it settles (its own rename wakes a watch anyway).
        if (d->watcher && d->core->dispatcher)
            d->diskChanged(*this);
        return;
    }
    for (const QString& line : reports)
        report(line);
    for (const QString& key : heard)
        changed.notify(key);
}

void SettingsStore::watchDisk()
{
    // The unreadable file found at open stays out of the run, watch included.
    if (d->watcher || !d->core->writable)
        return;
    const QString folder = QFileInfo(d->core->path).absolutePath();
    QString why;
    if (!ensureSettingsFolder(folder, why)) {
        report(QStringLiteral("Settings changed on disk are not picked up while Zumo runs (%1).").arg(why));
        return;
    }
    d->watcher = std::make_unique<QFileSystemWatcher>(QStringList{folder});
    if (QFileInfo(d->core->path).isReadable())
        d->watcher->addPath(d->core->path);
    auto changedOnDisk = [this] { d->diskChanged(*this); };
    QObject::connect(d->watcher.get(), &QFileSystemWatcher::directoryChanged, d->watcher.get(), changedOnDisk);
    QObject::connect(d->watcher.get(), &QFileSystemWatcher::fileChanged, d->watcher.get(), changedOnDisk);
}

QString SettingsStore::filePath() const
{
    return d->core->path;
}

QString SettingsStore::corruptCopyPath() const
{
    return d->core->corruptCopy;
}

} // namespace zumo
