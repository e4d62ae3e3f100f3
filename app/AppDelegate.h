// The application's life once the desktop is reached: the consent gate, the launch sequence
// (run once), the tray menu's requests, a second launch's request for Settings, and the quit.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/Listeners.h"
#include "windows/SettingsWindow.h"

namespace zumo {

class AboutWindow;
class AppWindows;
class Clock;
class ConsentWindow;
class Counters;
class HookControl;
class MainMenuKeys;
class Permissions;
class Settings;
class SettingsStore;
class SettingsWindowLink;
class StatePoll;
class StatusMenu;
class Toast;
class UpdateChecker;
class Workspace;
struct VendorLink;
enum class TrayAction;

// Ends the event loop (and every nested one an alert runs) whatever windows are open: Qt's own
// quit first asks each window to close and gives up when one refuses, as the update's progress
// window does. Main thread.
void quitApp();

struct AppDelegateDeps {
    SettingsStore& store;
    const Settings& settings;
    Counters& counters;
    const Clock& clock;
    Dispatcher& dispatcher;
    const Permissions& permissions;
    Workspace& workspace;
    bool translucent;  // a compositor runs: the toast may have round corners
    HookControl& hook;
    AppWindows& windows;
    SettingsWindowLink& settingsLink;
    VendorLink& vendor;
    UpdateChecker& updates;
    bool loginLaunch;  // started from the autostart entry: no window opens by itself
    // Says on standard output that the switcher opens, once the main shortcut is Zumo's.
    std::function<void()> announceReady;
};

class AppDelegate {
public:
    explicit AppDelegate(AppDelegateDeps deps);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Asks for consent when it is missing, else starts the app at once. Main thread, before the loop.
    void didFinishLaunching();
    // The launch sequence; runs once however often it is called. A keyboard that cannot be
    // watched yet does not stop it: the state poll keeps trying.
    void startApp();
    bool started() const { return m_started; }
    // A second launch: Settings once started, the consent question again before.
    void showRequested();
    void openSettings(SettingsTab tab = SettingsTab::switcher);
    // Where the update check goes: manual from the menu, Settings and `zumo --check-updates`;
    // automatic at each ping and once after launch (those honour "autoUpdate" and
    // "updateChecksPaused"); any check is dropped while another is in flight. Without consent
    // (still waiting, or "consentVersion" removed since) nothing is checked; a manual check
    // while the question waits brings the consent window to the front.
    void checkForUpdates(bool manual);
    // The launch ran after consent and "consentVersion" is still there: the vendor may be reached.
    bool mayReachVendor() const;
    // At quit: logs it, sends "quit" (waiting at most two seconds) and uploads the logs.
    void terminate();

    StatusMenu& menu() { return *m_menu; }

private:
    void handle(TrayAction action);
    void agreed();
    void buildMainMenu();
    void scheduleLaterSteps();
    void noteVersionChange();

    AppDelegateDeps d;
    std::unique_ptr<StatusMenu> m_menu;
    std::unique_ptr<StatePoll> m_poll;
    std::unique_ptr<ConsentWindow> m_consent;
    std::unique_ptr<AboutWindow> m_about;
    std::unique_ptr<Toast> m_toast;
    std::unique_ptr<MainMenuKeys> m_mainMenu;  // made by the launch sequence
    std::vector<Subscription> m_subscriptions;
    Dispatcher::TimerId m_firstCheck = 0;
    Dispatcher::TimerId m_earlierProduct = 0;
    bool m_started = false;
};

} // namespace zumo
