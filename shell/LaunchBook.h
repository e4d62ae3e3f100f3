// The launch bookkeeping: how often Zumo was started, on how many days, and whether this launch
// is the first after a version change.
#pragma once

#include <QString>

namespace zumo {

class Counters;
class SettingsStore;

inline constexpr double UpdatedToastSeconds = 2.5;

// What this launch found out about the version.
struct VersionChange {
    QString updatedFrom{};  // the version before; empty unless this launch follows a change
    QString toast{};        // "Zumo updated to <version>"; empty when nothing is to be shown
};

// Counts the launch in "launches" and, on the first launch of a local day, in "activeDays"
// (remembered under "lastActiveDay").
void countLaunch(SettingsStore& store, Counters& counters);
// Stores version under "lastVersion". When a different version was stored before, counts
// "updated" and asks for the toast unless the remote configuration paused it. The first launch
// ever (nothing stored) counts nothing and shows nothing.
VersionChange noteVersion(SettingsStore& store, Counters& counters, const QString& version, bool bannerPaused);

} // namespace zumo
