// The check flow: automatic and manual checks of the release manifest, one at a time, and what
// each does with the answer (alerts for a manual check, a silent prefetch for an automatic one).
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Dispatch.h"
#include "update/Release.h"

namespace zumo {

class Clock;
class Counters;
class Settings;
class UpdateConfigSource;
class UpdatePresenter;
class UpdateTransport;

// What the check flow hands to the install side (UpdateInstaller implements it).
class ReleaseHandoff {
public:
    virtual ~ReleaseHandoff() = default;
    virtual void acceptUpdate(const Updater::Release& release) = 0;
    virtual void schedulePrefetch(const Updater::Release& release) = 0;
    // The version of the staged update, if one is staged.
    virtual std::optional<QString> stagedVersion() const = 0;
    // This copy is updated by the system's package manager; nothing is installed in-app.
    virtual bool packageManaged() = 0;
};

struct CheckerDeps {
    const Settings& settings;
    const UpdateConfigSource& config;
    Counters& counters;
    const Clock& clock;
    Dispatcher& dispatcher;
    UpdateTransport& transport;
    UpdatePresenter& presenter;
    ReleaseHandoff& handoff;
    QString appVersion;  // the running version, "0" when unknown
    // The key updates are checked against (Updater::updateKey()); empty when this copy pins the
    // public test key: it then tells what it found but never installs.
    QByteArray updateKey;
};

// The states of a check, as the members spell them: idle (!inFlight) → in flight (inFlight, a
// deadline timer pending) → handled (inFlight cleared on the main thread). Main thread only.
class UpdateChecker {
public:
    // A check that has not answered this long after its request's time-out is ended as failed,
    // so a server that drips its answer cannot block every later check.
    static constexpr double DeadlineGraceSec = 5;

    explicit UpdateChecker(CheckerDeps deps);
    ~UpdateChecker();

    // Starts a check. An automatic one needs "autoUpdate" on and checks not paused; any check is
    // dropped silently while another is in flight.
    void checkForUpdates(bool manual);
    // The main-thread reaction to a check's answer.
    void handleCheckResult(const Updater::CheckResult& result, bool manual);

    bool inFlight() const { return m_inFlight; }
    // The last release an automatic check found newer; kept for the process's lifetime.
    const std::optional<Updater::Release>& availableRelease() const { return m_available; }

private:
    void finishCheck(std::uint64_t generation, const Updater::CheckResult& result, bool manual);
    // The result, or a failure when its manifest's seal is refused; remembers the newest seal.
    Updater::CheckResult judgeSeal(const Updater::CheckResult& result);
    void showUpdateOffer(const Updater::Release& release);
    void alert(const QString& message, const QString& informative);

    CheckerDeps m_deps;
    bool m_inFlight = false;
    std::uint64_t m_generation = 0;  // of the check in flight; a late answer of an ended one is dropped
    Dispatcher::TimerId m_deadline = 0;
    std::optional<Updater::Release> m_available;
    bool m_toldTestKey = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace zumo
