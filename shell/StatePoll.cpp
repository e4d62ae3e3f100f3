// The poll's steps: hook follows permission, re-enable, trust change, pause expiry, capture, periods.
#include "shell/StatePoll.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "shell/ShellLinks.h"
#include "shell/StatusMenu.h"
#include "stats/Counters.h"

namespace zumo {

StatePoll::StatePoll(StatePollDeps deps) : m_deps(deps) {}

StatePoll::~StatePoll()
{
    stop();
}

void StatePoll::start(bool trusted)
{
    m_lastTrusted = trusted;
    m_lastPaused = m_deps.clock.nowSeconds() < m_deps.settings.pauseUntil();
    // The tray was first drawn before the launch started the hook; later changes redraw it.
    m_deps.menu.updateStatusItem();
    if (m_timer == 0)
        arm();
}

void StatePoll::stop()
{
    if (m_timer != 0)
        m_deps.dispatcher.cancel(m_timer);
    m_timer = 0;
}

void StatePoll::arm()
{
    m_timer = m_deps.dispatcher.after(Interval, [this] {
        m_timer = 0;
        tick();
        arm();
    });
}

void StatePoll::tick()
{
    const bool trusted = m_deps.permissions.accessibilityTrusted();
    const bool hadHook = m_deps.hook.running();
    followPermission(trusted, hadHook);
    reenableHook();
    noteTrustChange(trusted, hadHook);
    redrawWhenPauseFlips();
    reloadWhenCaptureChanges();
    m_deps.counters.checkAutoPeriod();
    m_deps.menu.updateMenuCounter();
}

void StatePoll::followPermission(bool trusted, bool hadHook)
{
    if (hadHook && !trusted)
        m_deps.hook.stop();
    else if (!hadHook && trusted)
        m_deps.hook.start();  // may be refused; the next tick tries again
}

void StatePoll::reenableHook()
{
    if (m_deps.hook.running() && m_deps.hook.disabled())
        m_deps.hook.reenable();
}

void StatePoll::noteTrustChange(bool trusted, bool hadHook)
{
    if (trusted == m_lastTrusted && m_deps.hook.running() == hadHook)
        return;
    m_lastTrusted = trusted;
    appLog(QStringLiteral("accessibility trusted=") + (trusted ? QStringLiteral("true") : QStringLiteral("false")));
    m_deps.settingsWindow.reload();
    m_deps.menu.updateStatusItem();
}

void StatePoll::redrawWhenPauseFlips()
{
    const bool paused = m_deps.clock.nowSeconds() < m_deps.settings.pauseUntil();
    if (paused == m_lastPaused)
        return;
    m_lastPaused = paused;
    m_deps.menu.updateStatusItem();
}

void StatePoll::reloadWhenCaptureChanges()
{
    const auto shown = m_deps.settingsWindow.shownCapture();
    if (shown && *shown != m_deps.permissions.screenCaptureGranted())
        m_deps.settingsWindow.reload();
}

} // namespace zumo
