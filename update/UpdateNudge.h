// The panel's notice line: a pending remote announcement first, else the update reminder armed
// after enough switches, at most so many times per version and not too often.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "switcher/UpdateReminder.h"
#include "update/Release.h"

namespace zumo {

class AnnouncementSource;
class Clock;
class Counters;
class SettingsStore;
class UpdateConfigSource;

struct NudgeDeps {
    SettingsStore& store;
    const Clock& clock;
    Counters& counters;
    const UpdateConfigSource& config;
    AnnouncementSource& announcements;
    std::function<std::optional<Updater::Release>()> availableRelease;
};

// Main thread only. State: pendingNotice armed or not, and the switches counted since the
// release became available or the last reminder was shown.
class UpdateNudge final : public UpdateReminder {
public:
    explicit UpdateNudge(NudgeDeps deps) : m_deps(std::move(deps)) {}

    // After each completed switch: counts it and arms the reminder once "updateNudgeAfterSwitches"
    // switches were counted, unless the version had its "updateNudgeMaxPerVersion" reminders or
    // the last reminder (of any version) is less than "updateNudgeEveryHours" old.
    void armUpdateNudge() override;
    // Each time the panel opens: the pending announcement (cleared, its id stored under
    // "lastAnnounceId"), else the armed reminder (counted and timed), else nothing.
    std::optional<QString> takePendingNotice() override;

    bool reminderPending() const { return m_pending.has_value(); }
    int switchesSinceNudge() const { return m_switches; }

    static QString countKey(const QString& version);

private:
    NudgeDeps m_deps;
    std::optional<QString> m_pending;
    int m_switches = 0;
};

} // namespace zumo
