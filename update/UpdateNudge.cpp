#include "update/UpdateNudge.h"

#include <cstdint>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "settings/SettingsStore.h"
#include "stats/Counters.h"
#include "update/UpdateConfig.h"
#include "update/UpdateTexts.h"

namespace zumo {

QString UpdateNudge::countKey(const QString& version)
{
    return QStringLiteral("updateNudgeCount.") + version;
}

void UpdateNudge::armUpdateNudge()
{
    const std::optional<Updater::Release> release = m_deps.availableRelease();
    const UpdateConfig config = m_deps.config.updateConfig();
    if (!release || config.updateNudgePaused || m_pending)
        return;
    if (++m_switches < config.updateNudgeAfterSwitches)
        return;
    if (counterValue(m_deps.store.value(countKey(release->version))) >= config.updateNudgeMaxPerVersion)
        return;
    const QJsonValue last = m_deps.store.value(QStringLiteral("updateNudged"));
    if (last.isDouble() && m_deps.clock.nowSeconds() - last.toDouble() < config.updateNudgeEveryHours * 3600)
        return;
    m_pending = Updater::Text::nudge();
}

std::optional<QString> UpdateNudge::takePendingNotice()
{
    if (const std::optional<Announcement> announcement = m_deps.announcements.pendingAnnouncement()) {
        m_deps.announcements.clearPendingAnnouncement();
        m_deps.store.setValue(QStringLiteral("lastAnnounceId"), announcement->id);
        return announcement->text;
    }
    const std::optional<Updater::Release> release = m_deps.availableRelease();
    const std::optional<QString> notice = std::exchange(m_pending, std::nullopt);
    if (!notice || !release)
        return std::nullopt;
    m_switches = 0;
    const QString key = countKey(release->version);
    const std::int64_t shown = counterValue(m_deps.store.value(key));
    m_deps.store.setValue(key, qint64(shown < INT64_MAX ? shown + 1 : shown));
    m_deps.store.setValue(QStringLiteral("updateNudged"), m_deps.clock.nowSeconds());
    m_deps.counters.bumpCounter(QStringLiteral("update.nudged"));
    appLog(QStringLiteral("update nudge ") + release->version);
    return notice;
}

} // namespace zumo
