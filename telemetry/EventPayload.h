// The common payload of the "launch", "ping" and "quit" events: the device profile, the
// settings snapshot, the all-time counters and the running time. Main thread.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

#include "telemetry/DeviceProfile.h"

namespace zumo {

class Clock;
class Counters;
class Permissions;
class Settings;

// What the snapshot and profile ask of the shell, which alone knows them. Every hook may be
// empty (then false / 0 / empty is reported).
struct SessionFacts {
    std::function<bool()> launchAtLogin;         // the login item is enabled
    std::function<SessionCounts()> applications;  // regular and background applications running
    const Permissions* permissions = nullptr;
    bool loginLaunch = false;                     // this launch came from the login item
    QString updatedFrom;                          // the previous version after an update, else empty
    // The XKB layout being typed with now (e.g. "de"); empty when the desktop cannot tell, and
    // the configured layout is reported instead.
    std::function<QString()> keyboardLayout;
};

// The 27 settings of the snapshot, read fresh.
QJsonObject settingsSnapshot(const Settings& settings, const SessionFacts& session);
// The slow facts, gathered once in the background: "gatekeeperOn" (no such gate on Linux:
// false) and "appsInstalled" (desktop entries in the XDG application folders).
QJsonObject gatherLaunchFacts();
// The desktop entries ("*.desktop") directly in the given folders, counted once per file name
// as the XDG lookup does (an earlier folder hides a later one's entry).
int countDesktopEntries(const QStringList& folders);
// The object "--telemetry-demo" prints: the payload with "app", as pretty JSON with sorted keys
// and a line feed.
QByteArray telemetryDemoText(QJsonObject payload);

class EventPayload {
public:
    EventPayload(const Settings& settings, Counters& counters, const Clock& clock, SessionFacts session);

    // {"device", "settings", "stats", "session"}; the session clock starts at the first call.
    QJsonObject eventPayload();
    // Starts the session clock (unless it runs) without reading the machine.
    void startSessionClock();
    QJsonObject deviceProfile();
    void setLaunchFacts(QJsonObject facts) { m_launchFacts = std::move(facts); }
    SessionFacts& session() { return m_session; }
    // Replaces the system reader (tests).
    std::function<DeviceFacts()> readFacts = [] { return readDeviceFacts(); };

private:
    const Settings& m_settings;
    Counters& m_counters;
    const Clock& m_clock;
    SessionFacts m_session;
    QJsonObject m_launchFacts;
    std::optional<qint64> m_clockStartMs;
};

} // namespace zumo
