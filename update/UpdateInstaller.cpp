#include "update/UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Clock.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/ProcessRunner.h"
#include "stats/Counters.h"
#include "update/DownloadRules.h"
#include "update/GuardedDownload.h"
#include "update/PrivateFiles.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePresenter.h"
#include "update/UpdateTexts.h"
#include "update/UpdateTools.h"
#include "update/UpdateTransport.h"
#include "update/VerifyAndStage.h"

namespace zumo {

UpdateInstaller::UpdateInstaller(InstallerDeps deps) : m_deps(std::move(deps)) {}

UpdateInstaller::~UpdateInstaller()
{
    if (m_task)
        m_task->cancel();
}

void UpdateInstaller::stop()
{
    if (m_task)
        m_task->cancel();
    // Every callback of this installer checks m_alive: none of them runs from now on.
    m_alive.reset();
}

std::function<void()> UpdateInstaller::guarded(std::function<void()> fn) const
{
    std::weak_ptr<int> alive = m_alive;
    return [alive, fn = std::move(fn)] {
        if (!alive.expired())
            fn();
    };
}

std::optional<QString> UpdateInstaller::stagedVersion() const
{
    if (!m_staged)
        return std::nullopt;
    return m_staged->rel.version;
}

bool UpdateInstaller::packageManaged()
{
    return m_deps.tools.installDestination().packageManaged;
}

void UpdateInstaller::schedulePrefetch(const Updater::Release& release)
{
    const UpdateConfig config = m_deps.config.updateConfig();
    // Without a private directory there is nowhere safe to put a download.
    if (!config.updatePrefetch || m_prefetchScheduled || m_installing || stagedVersion() == release.version ||
        m_deps.workBase.isEmpty())
        return;
    // Exactly updateRetryMinutes after a failure is still too early.
    if (m_lastPrefetchFailure && m_deps.clock.nowSeconds() - *m_lastPrefetchFailure <= config.updateRetryMinutes * 60)
        return;
    if (packageManaged())
        return;
    m_prefetchScheduled = true;
    m_deps.dispatcher.after(config.updatePrefetchDelaySec, guarded([this, release] { startPrefetch(release); }));
}

void UpdateInstaller::startPrefetch(const Updater::Release& release)
{
    // The sweep would take the interactive download's files from under it.
    if (m_installing) {
        m_prefetchScheduled = false;
        return;
    }
    Updater::removeLeftovers(m_deps.workBase, m_staged ? m_staged->work : QString());
    const UpdateConfig config = m_deps.config.updateConfig();
    const double cap = Updater::capBytes(config.updateMaxDownloadMB);
    const QString host = m_deps.vendorHost;
    Dispatcher& dispatcher = m_deps.dispatcher;
    m_deps.transport.probe(
        {release.url, config.networkTimeoutSec, false},
        [host](const QUrl& target) { return Updater::isAllowedUpdateURL(target, host); },
        [this, release, cap, &dispatcher, alive = std::weak_ptr<int>(m_alive)](TransferAnswer answer) {
            const bool sized = answer.hasResponse && !answer.failed &&
                               Updater::acceptableAnnouncedSize(answer.contentLength, cap);
            dispatcher.post([this, release, sized, alive] {
                if (alive.expired())
                    return;
                if (!sized)
                    return prefetchFailed(Updater::Text::sizeUnknown());
                if (m_installing) {
                    m_prefetchScheduled = false;
                    return;
                }
                downloadPrefetch(release);
            });
        });
}

void UpdateInstaller::downloadPrefetch(const Updater::Release& release)
{
    appLog(QStringLiteral("update prefetch ") + release.version);
    const UpdateConfig config = m_deps.config.updateConfig();
    auto download = GuardedDownload::make(Updater::capBytes(config.updateMaxDownloadMB), m_deps.vendorHost,
                                          onMain([this, release](DownloadOutcome outcome) {
                                              stageInBackground(
                                                  outcome, nullptr, release,
                                                  [this](Updater::Staged staged) { prefetched(staged); },
                                                  [this](QString message) { prefetchFailed(message); });
                                          }));
    download->start(m_deps.transport, {release.url, 60, config.updatePrefetchAvoidMetered}, m_deps.workBase);
}

std::function<void(DownloadOutcome)> UpdateInstaller::onMain(std::function<void(DownloadOutcome)> fn) const
{
    Dispatcher& dispatcher = m_deps.dispatcher;
    std::weak_ptr<int> alive = m_alive;
    return [&dispatcher, alive, fn = std::move(fn)](DownloadOutcome outcome) {
        dispatcher.post([alive, fn, outcome] {
            if (!alive.expired())
                fn(outcome);
        });
    };
}

void UpdateInstaller::stageInBackground(const DownloadOutcome& outcome, const std::shared_ptr<ProgressWindow>& window,
                                        const Updater::Release& release,
                                        std::function<void(Updater::Staged)> onSuccess,
                                        std::function<void(QString)> onFailure)
{
    // Hashing and unpacking run on a worker of our own, never on the transport's. The callbacks
    // come back to the main thread and do nothing once this installer is gone.
    const StageContext context{m_deps.tools, m_deps.dispatcher, m_deps.workBase, m_deps.identifier,
                               Updater::capBytes(m_deps.config.updateConfig().updateMaxDownloadMB)};
    std::weak_ptr<int> alive = m_alive;
    Dispatcher& dispatcher = m_deps.dispatcher;
    auto success = [alive, onSuccess](Updater::Staged staged) {
        if (!alive.expired())
            onSuccess(staged);
    };
    auto failure = [alive, onFailure, &dispatcher](QString message) {
        dispatcher.post([alive, onFailure, message] {
            if (!alive.expired())
                onFailure(message);
        });
    };
    dispatcher.background(Quality::Utility, [context, outcome, window, release, success, failure] {
        Updater::verifyAndStage(context, outcome, window, release, success, failure);
    });
}

void UpdateInstaller::prefetched(const Updater::Staged& staged)
{
    m_prefetchScheduled = false;
    if (m_staged && m_staged->rel.version != staged.rel.version)
        Updater::removeTree(m_staged->work);
    m_staged = staged;
    m_deps.counters.bumpCounter(QStringLiteral("update.prefetched"));
    appLog(QStringLiteral("update ready ") + staged.rel.version);
}

void UpdateInstaller::prefetchFailed(const QString& message)
{
    m_prefetchScheduled = false;
    m_lastPrefetchFailure = m_deps.clock.nowSeconds();
    if (message.isEmpty())
        return;
    m_deps.counters.bumpCounter(QStringLiteral("update.prefetchFailed"));
    appLog(QStringLiteral("update prefetch failed: ") + message);
}

void UpdateInstaller::acceptUpdate(const Updater::Release& release)
{
    if (m_installing)
        return;
    m_installing = true;
    m_deps.counters.bumpCounter(QStringLiteral("update.accepted"));
    // The staged copy has lain on disk since it was verified: check it again.
    if (m_staged && m_staged->rel.version == release.version && m_deps.tools.isTrustedApp(m_staged->newApp)) {
        appLog(QStringLiteral("update install (prefetched) ") + release.version);
        installStaged(*m_staged, nullptr, [this](QString message) { failPrefetchedInstall(message); });
        return;
    }
    if (m_deps.workBase.isEmpty()) {
        m_installing = false;
        m_deps.presenter.runAlert({Updater::Text::notInstalledTitle(), Updater::Text::cannotPrepare(),
                                   {Updater::Text::okButton()}});
        return;
    }
    downloadWithWindow(release);
}

void UpdateInstaller::downloadWithWindow(const Updater::Release& release)
{
    appLog(QStringLiteral("update download ") + release.version);
    m_window = m_deps.presenter.openProgress(release.version);
    std::shared_ptr<ProgressWindow> window = m_window;
    auto download = GuardedDownload::make(
        Updater::capBytes(m_deps.config.updateConfig().updateMaxDownloadMB), m_deps.vendorHost,
        onMain([this, release, window](DownloadOutcome outcome) {
            stageInBackground(
                outcome, window, release,
                [this, window](Updater::Staged staged) {
                    // Cancel pressed while the download was checked: nothing is installed.
                    if (window->cancelled()) {
                        Updater::removeTree(staged.work);
                        return failInteractive(QString());
                    }
                    installStaged(staged, window, [this](QString message) { failInteractive(message); });
                },
                [this](QString message) { failInteractive(message); });
        }));
    Dispatcher& dispatcher = m_deps.dispatcher;
    download->setProgressListener([window, &dispatcher](qint64 written, qint64 expected) {
        if (expected > 0)
            dispatcher.post([window, fraction = double(written) / double(expected)] { window->setFraction(fraction); });
    });
    m_task = download->start(m_deps.transport, {release.url, 60, false}, m_deps.workBase);
    std::weak_ptr<TransferTask> task = m_task;
    window->setOnCancel([task] {
        if (auto running = task.lock())
            running->cancel();
    });
}

void UpdateInstaller::installStaged(const Updater::Staged& staged, const std::shared_ptr<ProgressWindow>& window,
                                    std::function<void(QString)> onFailure)
{
    const QString script = staged.work + QStringLiteral("/install.sh");
    QSaveFile file(script);
    const QByteArray text = m_deps.tools.installScript();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit() ||
        !QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther))
        return onFailure(Updater::Text::cannotPrepareInstaller());
    const QString dest = m_deps.tools.installDestination().path;
    QDir().mkpath(QFileInfo(dest).path());  // the user's own Applications folder may not exist yet
    if (window)
        window->setLabel(Updater::Text::restarting());
    // Copying and flushing a few thousand files takes a moment: a worker does it.
    UpdateTools& tools = m_deps.tools;
    Dispatcher& dispatcher = m_deps.dispatcher;
    // Cancel, while "Restarting Zumo…" shows, stops the copy before it goes in: the old version
    // keeps running and nothing is installed. Once it is in, the restart goes on, so a new copy
    // is never left in place behind a running old one. A quit stops the copy too.
    std::weak_ptr<int> alive = m_alive;
    const std::function<bool()> cancelled = [window, alive] {
        return alive.expired() || (window && window->cancelled());
    };
    auto placed = guarded([this, staged, script, dest, onFailure] { startInstaller(staged, script, dest, onFailure); });
    auto failed = guarded([onFailure, cancelled, work = staged.work] {
        if (!cancelled())
            return onFailure(Updater::Text::cannotPlace());
        Updater::removeTree(work);
        onFailure(QString());
    });
    dispatcher.background(Quality::UserInitiated, [&tools, &dispatcher, staged, dest, placed, failed, cancelled] {
        if (tools.placeNewCopy(staged.newApp, dest, cancelled))
            dispatcher.post(placed);
        else
            dispatcher.post(failed);
    });
}

void UpdateInstaller::startInstaller(const Updater::Staged& staged, const QString& script, const QString& dest,
                                     const std::function<void(QString)>& onFailure)
{
    if (!m_deps.runner.startDetached(QStringLiteral("/bin/sh"),
                                     {script, QString::number(m_deps.pid), staged.newApp, dest, staged.work}))
        return onFailure(Updater::Text::cannotStartInstaller());
    appLog(QStringLiteral("update installing ") + staged.rel.version + QStringLiteral(" into ") + dest);
    m_installing = false;
    m_quitRequested.notify();
}

void UpdateInstaller::failPrefetchedInstall(const QString& message)
{
    m_deps.dispatcher.post(guarded([this, message] {
        m_installing = false;
        m_deps.presenter.runAlert({Updater::Text::notInstalledTitle(), message, {Updater::Text::okButton()}});
    }));
}

void UpdateInstaller::failInteractive(const QString& message)
{
    m_deps.dispatcher.post(guarded([this, message] {
        if (m_window)
            std::exchange(m_window, nullptr)->close();
        m_task.reset();
        m_installing = false;
        if (message.isEmpty())
            return;
        m_deps.counters.bumpCounter(QStringLiteral("update.failed"));
        appLog(QStringLiteral("update failed: ") + message);
        m_deps.presenter.runAlert({Updater::Text::notInstalledTitle(), message, {Updater::Text::okButton()}});
    }));
}

} // namespace zumo
