// The JSON-file key/value store: in-memory reads under a reader/writer lock, coalesced atomic saves.
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QReadWriteLock>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Dispatch.h"
#include "platform/Log.h"

namespace zumo {
namespace {

void report(const QString& line)
{
    appLog(line);
}

// What reading the file at open found.
struct Loaded {
    QJsonObject data;
    QString corruptCopy;   // where a file that did not parse was kept
    bool writable = true;  // false when the file there must be left untouched
};

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

// Keeps a file that does not parse under a new name so that the next save cannot destroy it.
Loaded setAside(const QString& path, const QString& why)
{
    Loaded loaded;
    const QString copy = corruptCopyName(path);
    if (QFile::rename(path, copy)) {
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
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return leaveUnreadable(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return leaveUnreadable(path, file.errorString());
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return setAside(path, error.errorString() + QStringLiteral(" at byte ") + QString::number(error.offset));
    if (!doc.isObject())
        return setAside(path, QStringLiteral("not a JSON object"));
    return {doc.object(), {}, true};
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

// Creates the folder of the file, private to the user, when it is missing.
bool ensureDirectory(const QString& dirPath, QString& why)
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

// Writes the whole object through a temporary file, a sync to disk and a rename, with mode 0600.
bool writeAtomically(const QString& path, const QJsonObject& data, QString& why)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!ensureDirectory(dir, why))
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
    const QByteArray bytes = QJsonDocument(data).toJson(QJsonDocument::Indented);
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

} // namespace

// Shared with the closures handed to the dispatcher, which do nothing once the store is gone.
struct SettingsCore {
    QString path;
    Dispatcher* dispatcher = nullptr;
    double flushDelay = 0.5;
    QString corruptCopy;
    bool writable = true;

    mutable QReadWriteLock lock;
    QJsonObject data;          // guarded by lock
    quint64 generation = 0;    // guarded by lock; bumped by every change

    std::mutex saveMutex;      // one save at a time
    quint64 savedGeneration = 0; // guarded by saveMutex
    bool failedQuietly = false;  // guarded by saveMutex; the last save was refused without a report
    std::atomic<bool> saveScheduled{false};
    Dispatcher::TimerId timer = 0; // main thread only

    // Writes the current data when it changed since the last good save; false when that failed.
    bool save();

private:
    QString saveLocked(); // the problem, or empty
};

bool SettingsCore::save()
{
    QString problem;
    bool kept = true;
    {
        const std::lock_guard saving(saveMutex);
        failedQuietly = false;
        problem = saveLocked();
        kept = !failedQuietly;
    }
    // Reported outside the lock: the reporter may well write to a store itself.
    if (problem.isEmpty())
        return kept;
    report(problem);
    return false;
}

QString SettingsCore::saveLocked()
{
    QJsonObject copy;
    quint64 copyGeneration = 0;
    {
        QReadLocker reading(&lock);
        copy = data;
        copyGeneration = generation;
    }
    if (copyGeneration == savedGeneration)
        return {};
    if (!writable) {
        failedQuietly = true;
        return {};  // said once at open; the file there is kept untouched
    }
    QString why;
    if (!writeAtomically(path, copy, why))
        return QStringLiteral("Settings could not be saved to %1 (%2); the changes are kept in memory and "
                              "saving is tried again later.").arg(path, why);
    savedGeneration = copyGeneration;
    return {};
}

struct SettingsStore::Impl {
    std::shared_ptr<SettingsCore> core = std::make_shared<SettingsCore>();

    // Saves now, or makes sure one save is scheduled on the main thread.
    void changed();
    // Tells the store's listeners, on the main thread when it can.
    void announce(SettingsStore& store, const QString& key);

    std::shared_ptr<int> alive = std::make_shared<int>(0);
};

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
    core.corruptCopy = loaded.corruptCopy;
    core.writable = loaded.writable;
}

SettingsStore::~SettingsStore()
{
    auto& core = *d->core;
    if (core.dispatcher && core.timer != 0)
        core.dispatcher->cancel(core.timer);
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
        ++d->core->generation;
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
        ++d->core->generation;
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
            it = data.erase(it);
            ++removed;
        }
        if (removed > 0)
            ++d->core->generation;
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

QString SettingsStore::filePath() const
{
    return d->core->path;
}

QString SettingsStore::corruptCopyPath() const
{
    return d->core->corruptCopy;
}


} // namespace zumo
