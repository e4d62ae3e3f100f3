// The tray menu's behaviour: the state read from the store, redraws, and the enable/pause actions.
#include "shell/StatusMenu.h"

#include "platform/Clock.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "shell/ShellLinks.h"
#include "stats/Counters.h"

namespace zumo {

StatusMenu::StatusMenu(StatusMenuDeps deps, QTimeZone zone, QLocale locale)
    : m_deps(deps), m_zone(std::move(zone)), m_locale(std::move(locale))
{
    m_chosen = m_tray.chosen.subscribe([this](TrayAction action) { choose(action); });
    // The switch counts and the pause title depend on the moment the menu opens.
    m_opening = m_tray.aboutToOpen.subscribe([this] { m_tray.drawMenu(trayMenu(state())); });
    m_tray.drawMenu(trayMenu(state()));
}

TrayState StatusMenu::state() const
{
    const Settings& s = m_deps.settings;
    return TrayState{
        .enabled = s.enabled(),
        .pauseUntil = s.pauseUntil(),
        .todaySwitches = m_deps.counters.todayCount(QStringLiteral("switches")),
        .allSwitches = m_deps.counters.allCount(QStringLiteral("switches")),
        .hookRunning = m_deps.hook.running(),
        .trigger = s.trigger(),
        .menuCounter = s.menuCounter(),
        .now = m_deps.clock.now(),
        .locale = m_locale,
        .zone = m_zone,
    };
}

void StatusMenu::updateStatusItem()
{
    const bool shown = m_deps.settings.showMenuBar();
    const TrayState now = state();
    m_tray.drawLook(trayLook(now));
    m_tray.drawMenu(trayMenu(now));
    m_tray.setVisible(shown);
}

void StatusMenu::updateMenuCounter()
{
    TrayLook look = m_tray.look();
    look.counter = trayLook(state()).counter;
    m_tray.drawLook(look);
}

void StatusMenu::choose(TrayAction action)
{
    switch (action) {
    case TrayAction::ToggleEnabled:
        return toggleEnabled();
    case TrayAction::PauseQuarterHour:
    case TrayAction::PauseHour:
    case TrayAction::PauseUntilTomorrow:
        return pauseFor(pauseMinutes(action));
    case TrayAction::ResumeNow:
        return resumeNow();
    case TrayAction::None:
        return;
    default:
        requested.notify(action);
    }
}

void StatusMenu::toggleEnabled()
{
    m_deps.settings.store().setValue(QStringLiteral("enabled"), !m_deps.settings.enabled());
    stateChanged.notify();
    updateStatusItem();
}

void StatusMenu::pauseFor(int minutes)
{
    m_deps.settings.store().setValue(QStringLiteral("pauseUntil"), pauseEnd(minutes, m_deps.clock.now(), m_zone));
    stateChanged.notify();
    updateStatusItem();
}

void StatusMenu::resumeNow()
{
    m_deps.settings.store().setValue(QStringLiteral("pauseUntil"), 0.0);
    stateChanged.notify();
    updateStatusItem();
}

} // namespace zumo
