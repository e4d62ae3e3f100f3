// Makes each window on first use and connects the Settings window's buttons to the others.
#include "windows/AppWindows.h"

#include "settings/Settings.h"
#include "windows/Appearance.h"
#include "windows/HiddenAppsWindow.h"
#include "windows/StatisticsWindow.h"

namespace zumo {

AppWindows::AppWindows(AppWindowsDeps deps) : d(std::move(deps))
{
    applyAppearance(d.settings.appearance());
}

AppWindows::~AppWindows() = default;

SettingsWindow& AppWindows::settingsWindow()
{
    if (m_settings)
        return *m_settings;
    m_settings = std::make_unique<SettingsWindow>(
        SettingsWindowDeps{d.store, d.settings, d.slots, d.permissions, d.loginItem, d.tapActive,
                           d.takenShortcuts, d.checkUpdates, d.ask, d.holding});
    m_settings->onHidden = [this] { showHiddenApps(); };
    m_settings->onStats = [this] { showStatistics(); };
    m_settingsChanged = m_settings->changed.subscribe([this] { settingsChanged.notify(); });
    return *m_settings;
}

HiddenAppsWindow& AppWindows::hiddenAppsWindow()
{
    if (!m_hidden)
        m_hidden =
            std::make_unique<HiddenAppsWindow>(HiddenAppsDeps{d.store, d.settings, d.workspace, d.catalog});
    return *m_hidden;
}

StatisticsWindow& AppWindows::statisticsWindow()
{
    if (!m_stats)
        m_stats = std::make_unique<StatisticsWindow>(
            StatisticsWindowDeps{d.counters, d.store, d.settings, d.dispatcher, d.clock, d.ask});
    return *m_stats;
}

void AppWindows::openSettings(SettingsTab tab)
{
    settingsWindow().openTab(tab);
}

void AppWindows::showHiddenApps()
{
    hiddenAppsWindow().showWindow();
}

void AppWindows::showStatistics()
{
    statisticsWindow().showWindow();
}

void AppWindows::reloadSettings()
{
    if (m_settings)
        m_settings->load();
}

} // namespace zumo
