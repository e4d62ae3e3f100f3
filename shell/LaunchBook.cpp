// "launches", "activeDays", "lastVersion" and "updated".
#include "shell/LaunchBook.h"

#include "settings/SettingsStore.h"
#include "stats/Counters.h"

namespace zumo {

void countLaunch(SettingsStore& store, Counters& counters)
{
    counters.bumpCounter(QStringLiteral("launches"));
    const QString today = counters.todayKey();
    if (store.value(QStringLiteral("lastActiveDay")).toString() == today)
        return;
    store.setValue(QStringLiteral("lastActiveDay"), today);
    counters.bumpCounter(QStringLiteral("activeDays"));
}

VersionChange noteVersion(SettingsStore& store, Counters& counters, const QString& version, bool bannerPaused)
{
    const QJsonValue before = store.value(QStringLiteral("lastVersion"));
    store.setValue(QStringLiteral("lastVersion"), version);
    // Only a stored version text counts as a launch before; anything else is a first launch.
    if (!before.isString() || before.toString().isEmpty() || before.toString() == version)
        return {};
    counters.bumpCounter(QStringLiteral("updated"));
    VersionChange change{.updatedFrom = before.toString()};
    if (!bannerPaused)
        change.toast = QStringLiteral("Zumo updated to ") + version;
    return change;
}

} // namespace zumo
