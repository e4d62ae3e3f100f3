#include "update/UpdateChecker.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "update/ManifestSeal.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePresenter.h"
#include "update/UpdateTexts.h"
#include "update/UpdateTransport.h"
#include "update/Version.h"

namespace zumo {
namespace {

// When the newest manifest seal this copy has seen was signed, seconds since 1970.
const QString SealSeenKey = QStringLiteral("updateManifestSignedAt");

} // namespace

UpdateChecker::UpdateChecker(CheckerDeps deps) : m_deps(std::move(deps)) {}

UpdateChecker::~UpdateChecker()
{
    if (m_deadline)
        m_deps.dispatcher.cancel(m_deadline);
}

void UpdateChecker::checkForUpdates(bool manual)
{
    const UpdateConfig config = m_deps.config.updateConfig();
    if (!manual && (!m_deps.settings.autoUpdate() || config.updateChecksPaused))
        return;
    if (m_inFlight)
        return;
    m_inFlight = true;
    const std::uint64_t generation = ++m_generation;
    m_deps.counters.bumpCounter(manual ? QStringLiteral("update.manual") : QStringLiteral("update.auto"));
    std::weak_ptr<int> alive = m_alive;
    m_deadline = m_deps.dispatcher.after(config.networkTimeoutSec + DeadlineGraceSec, [this, alive, generation, manual] {
        if (!alive.expired()) {
            m_deadline = 0;
            finishCheck(generation, {std::nullopt, Updater::Text::checkTimedOut()}, manual);
        }
    });
    Dispatcher& dispatcher = m_deps.dispatcher;
    m_deps.transport.fetchLatestRelease(config.networkTimeoutSec, [this, alive, generation, manual,
                                                                   &dispatcher](Updater::CheckResult result) {
        dispatcher.post([this, alive, generation, manual, result] {
            if (!alive.expired())
                finishCheck(generation, result, manual);
        });
    });
}

void UpdateChecker::finishCheck(std::uint64_t generation, const Updater::CheckResult& result, bool manual)
{
    if (!m_inFlight || generation != m_generation)
        return;
    if (m_deadline)
        m_deps.dispatcher.cancel(std::exchange(m_deadline, 0));
    handleCheckResult(result, manual);
}

Updater::CheckResult UpdateChecker::judgeSeal(const Updater::CheckResult& result)
{
    // A copy that installs nothing has no use for the seal.
    if (!result.release || m_deps.updateKey.isEmpty())
        return result;
    SettingsStore& store = m_deps.settings.store();
    const QJsonValue stored = store.value(SealSeenKey);
    const Updater::SealVerdict verdict =
        Updater::judgeManifestSeal(result.seal, result.manifest, m_deps.updateKey, m_deps.clock.nowSeconds(),
                                   stored.isDouble() ? std::optional(stored.toDouble()) : std::nullopt);
    if (verdict.newestSignedAt && stored.toDouble() != *verdict.newestSignedAt)
        store.setValue(SealSeenKey, *verdict.newestSignedAt);
    if (verdict.refusal.isEmpty())
        return result;
    return {std::nullopt, verdict.refusal};
}

void UpdateChecker::handleCheckResult(const Updater::CheckResult& checked, bool manual)
{
    m_inFlight = false;
    const Updater::CheckResult result = judgeSeal(checked);
    if (!result.release) {
        m_deps.counters.bumpCounter(QStringLiteral("update.checkFailed"));
        appLog(QStringLiteral("update check failed: ") + (result.failure.isEmpty() ? QStringLiteral("?") : result.failure));
        if (manual)
            alert(Updater::Text::checkFailedTitle(), result.failure.isEmpty() ? Updater::Text::tryLater() : result.failure);
        return;
    }
    const Updater::Release& release = *result.release;
    if (!Updater::isNewerVersion(release.version, m_deps.appVersion)) {
        if (manual)
            alert(Updater::Text::upToDateTitle(), Updater::Text::upToDateDetail(m_deps.appVersion));
        return;
    }
    if (manual) {
        m_deps.counters.bumpCounter(QStringLiteral("update.offered"));
        showUpdateOffer(release);
        return;
    }
    m_available = release;
    if (m_deps.updateKey.isEmpty()) {
        if (!std::exchange(m_toldTestKey, true))
            appLog(Updater::Text::testKeyLog());
        return;
    }
    if (m_deps.handoff.stagedVersion() != release.version)
        m_deps.handoff.schedulePrefetch(release);
}

void UpdateChecker::showUpdateOffer(const Updater::Release& release)
{
    appLog(QStringLiteral("update available ") + release.version);
    if (m_deps.handoff.packageManaged()) {
        alert(Updater::Text::offerTitle(release.version), Updater::Text::packageManagedDetail(m_deps.appVersion));
        return;
    }
    if (m_deps.updateKey.isEmpty()) {
        appLog(Updater::Text::testKeyLog());
        alert(Updater::Text::offerTitle(release.version), Updater::Text::testKeyDetail(m_deps.appVersion));
        return;
    }
    const UpdateAlert offer{Updater::Text::offerTitle(release.version),
                            Updater::Text::offerDetail(m_deps.appVersion, release.notes),
                            {Updater::Text::installButton(), Updater::Text::laterButton()}};
    if (m_deps.presenter.runAlert(offer) == 0)
        m_deps.handoff.acceptUpdate(release);
    else
        m_deps.counters.bumpCounter(QStringLiteral("update.later"));
}

void UpdateChecker::alert(const QString& message, const QString& informative)
{
    m_deps.presenter.runAlert({message, informative, {Updater::Text::okButton()}});
}

} // namespace zumo
