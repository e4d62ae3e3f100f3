// From a finished download to a verified, staged bundle: every check in a fixed order, the first
// failure ending the run with its message and cleaning up what it made.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "update/Release.h"

namespace zumo {

class Dispatcher;
class ProgressWindow;
class UpdateTools;

// What a GuardedDownload hands over when its transfer has ended.
struct DownloadOutcome {
    QString file;                  // the parked download; empty when there is none
    bool hasResponse = false;      // an HTTP response arrived
    int status = 0;
    std::optional<QString> error;  // why the transfer failed
};

struct StageContext {
    UpdateTools& tools;
    Dispatcher& dispatcher;
    QString workBase;        // the user's private directory
    QString identifier;      // the running program's identifier ("com.zumo.app")
    double capBytes = 0;     // the download cap, checked again on the file of a prefetch
};

namespace Updater {

// Steps, in order: cancelled window → "" ; transfer error → its text; no file or status other
// than 200 → "The download failed."; prefetch only, file larger than the cap → deleted, "larger
// than the allowed size"; label "Checking the download…"; work directory "zumo-update-<UUID>"
// with "mnt" and "stage", download moved to "update.dmg" (failure: "Could not prepare the
// update.", directory left for the leftover clean-up); digest; image signature; attach; copy;
// detach whatever the copy did; identifier, readable description, version, bundle signature.
// From the digest on, a failure deletes the work directory. On success "update.dmg" is deleted
// and onSuccess runs on the main thread; onFailure runs on the calling thread. Exactly one of
// them is called. Runs the checks on the calling thread (a worker).
void verifyAndStage(const StageContext& context, const DownloadOutcome& outcome,
                    const std::shared_ptr<ProgressWindow>& window, const Release& release,
                    std::function<void(Staged)> onSuccess, std::function<void(QString)> onFailure);

} // namespace Updater
} // namespace zumo
