// From an available release to the new version running: the silent background prefetch, the
// user's "Install and Restart" (the prefetched copy checked again, else a download with a
// progress window), the install script started detached, and the two ways a failure is told.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Listeners.h"
#include "update/Release.h"
#include "update/UpdateChecker.h"
#include "update/VerifyAndStage.h"

namespace zumo {

class Clock;
class Counters;
class Dispatcher;
class ProcessRunner;
class ProgressWindow;
class TransferTask;
class UpdateConfigSource;
class UpdatePresenter;
class UpdateTools;
class UpdateTransport;

struct InstallerDeps {
    Dispatcher& dispatcher;
    const Clock& clock;
    Counters& counters;
    const UpdateConfigSource& config;
    UpdateTransport& transport;
    UpdateTools& tools;
    UpdatePresenter& presenter;
    ProcessRunner& runner;
    QString workBase;    // the user's private directory for work files
    QString vendorHost;
    QString identifier;  // the running program's ("com.zumo.app")
    qint64 pid = 0;      // this process, for the install script to wait on
};

// State, main thread only:
//   staged                the last prefetched, verified update
//   prefetchScheduled     a prefetch is waiting for its delay or running
//   lastPrefetchFailure   when the last prefetch failed (starts the retry pause)
//   installing            an accepted update is downloading or installing
//   window                the progress window of the interactive download
class UpdateInstaller final : public ReleaseHandoff {
public:
    explicit UpdateInstaller(InstallerDeps deps);
    ~UpdateInstaller();

    // Downloads and stages the release in the background after "updatePrefetchDelaySec", unless
    // prefetching is off, one is already scheduled, an install runs, the version is staged, the
    // retry pause ("updateRetryMinutes" since the last failure, the boundary included) has not
    // passed, or the package manager owns this copy.
    void schedulePrefetch(const Updater::Release& release) override;
    // Installs the release: the staged copy when it is this version and still trusted, otherwise
    // after a download with a progress window. Ignored while an install is under way.
    void acceptUpdate(const Updater::Release& release) override;
    std::optional<QString> stagedVersion() const override;
    bool packageManaged() override;

    // Writes the install script into the staged work directory, puts the new copy in place on a
    // worker, starts the script detached and asks the program to quit; onFailure gets "Could not
    // prepare the installer.", "Could not put the new version in place." or "Could not start the
    // installer.".
    void installStaged(const Updater::Staged& staged, const std::shared_ptr<ProgressWindow>& window,
                       std::function<void(QString)> onFailure);

    // At quit: cancels a download in flight, and nothing started before goes on to install.
    void stop();

    // Told once the install script runs: the program should quit now.
    Notifier<>& quitRequested() { return m_quitRequested; }

    const std::optional<Updater::Staged>& staged() const { return m_staged; }
    bool prefetchScheduled() const { return m_prefetchScheduled; }
    bool installing() const { return m_installing; }

private:
    void startPrefetch(const Updater::Release& release);
    void downloadPrefetch(const Updater::Release& release);
    void prefetched(const Updater::Staged& staged);
    void prefetchFailed(const QString& message);
    void downloadWithWindow(const Updater::Release& release);
    void startInstaller(const Updater::Staged& staged, const QString& script, const QString& dest,
                        const std::function<void(QString)>& onFailure);
    void failPrefetchedInstall(const QString& message);
    void failInteractive(const QString& message);
    // Verifies the outcome on a worker; success and failure come back on the main thread.
    void stageInBackground(const DownloadOutcome& outcome, const std::shared_ptr<ProgressWindow>& window,
                           const Updater::Release& release, std::function<void(Updater::Staged)> onSuccess,
                           std::function<void(QString)> onFailure);
    std::function<void()> guarded(std::function<void()> fn) const;
    // Wraps a download's completion so it runs on the main thread, and not once this is gone.
    std::function<void(DownloadOutcome)> onMain(std::function<void(DownloadOutcome)> fn) const;

    InstallerDeps m_deps;
    std::optional<Updater::Staged> m_staged;
    bool m_prefetchScheduled = false;
    std::optional<double> m_lastPrefetchFailure;  // seconds since 1970
    bool m_installing = false;
    std::shared_ptr<ProgressWindow> m_window;
    std::shared_ptr<TransferTask> m_task;
    Notifier<> m_quitRequested;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace zumo
