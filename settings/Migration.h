// The one-time import of preferences from the product's earlier bundle.
#pragma once

#include <QString>
#include <functional>

namespace zumo {

class SettingsStore;
class Workspace;
class Clock;

inline constexpr char EarlierBundleId[] = "com.wendle.app";

// Asks every running, not terminated instance of the earlier product to quit; true when any was asked.
bool terminateEarlierProduct(Workspace& workspace);

struct MigrationContext {
    SettingsStore& ours;
    Workspace& workspace;
    const Clock& clock;
    // The earlier product's domain file; a missing or unreadable file means there is nothing to
    // import. It is only read, never changed.
    QString earlierDomainPath;
    // Lets the event loop run for up to the given seconds (0.05 per step while waiting); the wait
    // ends by the clock after 1.5 s. When empty, nothing is waited for.
    std::function<void(double)> runLoopFor;
};

// Asks the earlier product to quit, then, unless "migratedWendle" is already true, copies its
// settings into ours: keys we already have stay (except "stats." ones, which the earlier product's
// replace), "installID", "logDir", "logSig" and "loginDefaultDone" are never copied. Sets
// "migratedWendle" and saves at once.
void migrateFromEarlierBundle(MigrationContext context);

} // namespace zumo
