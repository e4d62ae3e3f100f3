// The owner of the application's windows: Settings, Hidden Apps and Statistics, each made on
// first use and kept. The shell (tray menu, second launch) opens them through this.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"
#include "windows/Ask.h"
#include "windows/SettingsWindow.h"

namespace zumo {

class ActiveSlots;
class AppCatalog;
class Clock;
class Counters;
class Dispatcher;
class HiddenAppsWindow;
class LoginItem;
class Permissions;
class Settings;
class SettingsStore;
class StatisticsWindow;
class Workspace;

struct AppWindowsDeps {
    SettingsStore& store;
    Settings& settings;
    ActiveSlots& slots;
    Counters& counters;
    Dispatcher& dispatcher;
    const Clock& clock;
    const Workspace& workspace;
    const AppCatalog& catalog;
    const Permissions& permissions;
    LoginItem* loginItem = nullptr;
    std::function<bool()> tapActive;
    std::function<std::vector<HookShortcut>()> takenShortcuts;
    std::function<void()> checkUpdates;
    Ask ask = askWithMessageBox;
    std::function<ShortcutHolding()> holding;
};

class AppWindows {
  public:
    // Applies the stored appearance at once. Everything given must outlive this.
    explicit AppWindows(AppWindowsDeps deps);
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    void openSettings(SettingsTab tab = SettingsTab::switcher);
    void showHiddenApps();
    void showStatistics();
    // Sets the Settings window's controls and status lines afresh when it exists (after a
    // permission or pause change elsewhere).
    void reloadSettings();

    // The windows, made on first use.
    SettingsWindow& settingsWindow();
    HiddenAppsWindow& hiddenAppsWindow();
    StatisticsWindow& statisticsWindow();
    // The Settings window when it was made already; null before.
    const SettingsWindow* builtSettingsWindow() const { return m_settings.get(); }

    // After every change made in the Settings window (the tray menu redraws itself).
    Notifier<> settingsChanged;

  private:
    AppWindowsDeps d;
    std::unique_ptr<SettingsWindow> m_settings;
    std::unique_ptr<HiddenAppsWindow> m_hidden;
    std::unique_ptr<StatisticsWindow> m_stats;
    Subscription m_settingsChanged;
};

} // namespace zumo
