// Building the common payload and the settings snapshot.
#include "telemetry/EventPayload.h"

#include <QDir>
#include <QJsonDocument>
#include <QSet>
#include <QStandardPaths>

#include "platform/Clock.h"
#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "stats/Counters.h"
#include "telemetry/NetworkMonitor.h"

namespace zumo {

QJsonObject settingsSnapshot(const Settings& s, const SessionFacts& session)
{
    const auto modes = s.appModes();
    return QJsonObject{
        {"enabled", s.enabled()},
        {"trigger", s.trigger()},
        {"perWindow", s.perWindow()},
        {"showDelay", s.showDelay()},
        {"tileSize", s.tileSize()},
        {"numbers", s.showNumbers()},
        {"hints", s.showHints()},
        {"windowless", s.showWindowless()},
        {"previews", s.previews()},
        {"otherSpaces", s.otherSpaces()},
        {"perAppKey", s.perAppKey()},
        {"pointer", s.mouse()},
        {"menuBar", s.showMenuBar()},
        {"menuCounter", s.menuCounter()},
        {"dock", s.showDock()},
        {"appearance", s.appearance()},
        {"hiddenApps", modes ? int(modes->size()) : 0},
        {"launchAtLogin", session.launchAtLogin ? session.launchAtLogin() : false},
        {"accessibility", session.permissions ? session.permissions->accessibilityTrusted() : false},
        {"screenRecording", session.permissions ? session.permissions->screenCaptureGranted() : false},
        {"displayMode", s.displayMode()},
        {"listTabs", s.listTabs()},
        {"slot3On", s.slotOn(3)},
        {"slot4On", s.slotOn(4)},
        {"autoUpdate", s.autoUpdate()},
        {"loginLaunch", session.loginLaunch},
        {"updatedFrom", session.updatedFrom},
    };
}

int countDesktopEntries(const QStringList& folders)
{
    QSet<QString> seen;
    for (const QString& folder : folders) {
        const auto names = QDir(folder).entryList({QStringLiteral("*.desktop")}, QDir::Files);
        for (const QString& name : names)
            seen.insert(name);
    }
    return int(seen.size());
}

QJsonObject gatherLaunchFacts()
{
    const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    return QJsonObject{{"gatekeeperOn", false}, {"appsInstalled", countDesktopEntries(folders)}};
}

QByteArray telemetryDemoText(QJsonObject payload)
{
    payload.insert(QStringLiteral("app"), QStringLiteral("Zumo"));
    // QJsonObject keeps its keys sorted, so the indented form is sorted at every level.
    return QJsonDocument(payload).toJson(QJsonDocument::Indented);
}

EventPayload::EventPayload(const Settings& settings, Counters& counters, const Clock& clock, SessionFacts session)
    : m_settings(settings), m_counters(counters), m_clock(clock), m_session(std::move(session))
{
}

QJsonObject EventPayload::deviceProfile()
{
    DeviceFacts facts = readFacts();
    facts.network = currentNetwork();
    if (m_session.keyboardLayout) {
        if (const QString live = m_session.keyboardLayout(); !live.isEmpty())
            facts.keyboard = QStringLiteral("xkb:") + live;
    }
    if (m_session.applications) {
        const SessionCounts counts = m_session.applications();
        facts.regularApps = counts.regularApps;
        facts.backgroundApps = counts.backgroundApps;
    }
    const qint64 since = m_counters.sinceDate(QStringLiteral("stats.allSince")).toSecsSinceEpoch();
    facts.installedSec = std::max<qint64>(0, m_clock.now().toSecsSinceEpoch() - since);
    return zumo::deviceProfile(facts, m_launchFacts);
}

void EventPayload::startSessionClock()
{
    if (!m_clockStartMs)
        m_clockStartMs = m_clock.now().toMSecsSinceEpoch();
}

QJsonObject EventPayload::eventPayload()
{
    const qint64 nowMs = m_clock.now().toMSecsSinceEpoch();
    startSessionClock();
    return QJsonObject{
        {"device", deviceProfile()},
        {"settings", settingsSnapshot(m_settings, m_session)},
        {"stats", m_counters.statsSnapshot()},
        {"session", (nowMs - *m_clockStartMs) / 1000},
    };
}

} // namespace zumo
