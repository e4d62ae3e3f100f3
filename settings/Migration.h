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
    // The earlier product's domain file; a missing file means there is nothing to import.
    QString earlierDomainPath;
    // Lets the event loop run for up to the given seconds (0.05 per step while waiting).
    std::function<void(double)> runLoopFor;
};

void migrateFromEarlierBundle(MigrationContext context);

} // namespace zumo
