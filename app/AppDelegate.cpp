// The consent gate, the launch sequence in its order, and the answers to the tray and a second
// launch. Main thread throughout.
#include "app/AppDelegate.h"

#include <QCoreApplication>
#include <cstdio>
#include <utility>

#include "app/VendorLink.h"
#include "platform/Log.h"
#include "platform/Permissions.h"
#include "platform/VendorService.h"
#include "remote/RemoteConfig.h"
#include "settings/Migration.h"
#include "settings/Settings.h"
#include "windows/AboutWindow.h"
#include "windows/AppInfo.h"
#include "windows/AppWindows.h"
#include "windows/Appearance.h"
#include "shell/Autostart.h"
#include "windows/ConsentWindow.h"
#include "shell/LaunchBook.h"
#include "windows/MainMenu.h"
#include "shell/ShellLinks.h"
#include "shell/StatePoll.h"
#include "shell/StatusMenu.h"
#include "windows/Toast.h"
#include "stats/Counters.h"
#include "telemetry/EventSender.h"
#include "update/UpdateChecker.h"

namespace zumo {

namespace {
constexpr double EarlierProductDelaySec = 15.0;
}

void quitApp()
{
    // Once: the shutdown turns local loops of its own (the wait for "quit" to leave), which a
    // second exit would end early.
    static bool quitting = false;
    if (std::exchange(quitting, true))
        return;
    QCoreApplication::exit(0);
}

AppDelegate::AppDelegate(AppDelegateDeps deps)
    : d(deps),
      m_menu(std::make_unique<StatusMenu>(StatusMenuDeps{d.settings, d.counters, d.clock, d.hook})),
      m_poll(std::make_unique<StatePoll>(StatePollDeps{d.hook, d.permissions, d.settings, d.counters, d.clock,
                                                       d.dispatcher, *m_menu, d.settingsLink})),
      m_consent(std::make_unique<ConsentWindow>(d.store, privacyUrl())),
      m_about(std::make_unique<AboutWindow>(appVersion(), productUrl(), d.dispatcher)),
      m_toast(std::make_unique<Toast>(d.dispatcher, d.translucent))
{
    m_subscriptions.push_back(m_menu->requested.subscribe([this](TrayAction action) { handle(action); }));
    m_subscriptions.push_back(m_menu->stateChanged.subscribe([this] { d.settingsLink.reload(); }));
    m_subscriptions.push_back(d.windows.settingsChanged.subscribe([this] { m_menu->updateStatusItem(); }));
    m_subscriptions.push_back(m_consent->agreed.subscribe([this] { agreed(); }));
    m_subscriptions.push_back(m_consent->quitRequested.subscribe([] { quitApp(); }));
    m_subscriptions.push_back(d.vendor.remote.pinged.subscribe([this] {
        d.vendor.telemetry.ping();
        checkForUpdates(false);
    }));
    m_subscriptions.push_back(d.vendor.remote.applied.subscribe([this] { d.settingsLink.reload(); }));
}

AppDelegate::~AppDelegate()
{
    d.dispatcher.cancel(m_firstCheck);
    d.dispatcher.cancel(m_earlierProduct);
}

void AppDelegate::didFinishLaunching()
{
    if (!ConsentWindow::consentNeeded(d.store))
        return startApp();
    appLog(QStringLiteral("waiting for consent"));
    std::puts("zumo: waiting for an answer in the consent window");
    std::fflush(stdout);
    m_consent->present();
}

void AppDelegate::agreed()
{
    startApp();
}

void AppDelegate::startApp()
{
    if (m_started)
        return;
    m_started = true;
    d.counters.statsMaintenanceAtLaunch();
    countLaunch(d.store, d.counters);
    d.vendor.telemetry.launch();
    d.vendor.remote.start();
    scheduleLaterSteps();
    registerLoginItemOnce(d.store, autostartPath(), QCoreApplication::applicationFilePath());
    applyAppearance(d.settings.appearance());
    buildMainMenu();
    m_menu->updateStatusItem();
    noteVersionChange();

    const bool trusted = d.permissions.accessibilityTrusted();
    if (!trusted) {
        openSettings();
    } else {
        // A refused hook is not the end: the poll below tries again every half second, and the
        // tray stays to say so.
        if (!d.hook.start())
            appLog(QStringLiteral("could not watch the keyboard at launch; the poll tries again"));
        if (d.announceReady)
            d.announceReady();
        if (d.settings.openAtLaunch() && !d.loginLaunch)
            openSettings();
    }
    m_poll->start(trusted);
}

void AppDelegate::buildMainMenu()
{
    m_mainMenu = std::make_unique<MainMenuKeys>();
    m_subscriptions.push_back(m_mainMenu->triggered.subscribe([this](MainMenuAction action) {
        if (action == MainMenuAction::openSettings)
            openSettings();
        else
            quitApp();
    }));
}

void AppDelegate::scheduleLaterSteps()
{
    m_firstCheck = d.dispatcher.after(remoteConfig().firstCheckDelaySec, [this] {
        m_firstCheck = 0;
        checkForUpdates(false);
    });
    // An earlier product started at the same login is asked to quit once it has settled.
    m_earlierProduct = d.dispatcher.after(EarlierProductDelaySec, [this] {
        m_earlierProduct = 0;
        terminateEarlierProduct(d.workspace);
    });
}

void AppDelegate::noteVersionChange()
{
    const VersionChange change = noteVersion(d.store, d.counters, appVersion(),
                                             remoteConfig().updatedBannerPaused);
    if (!change.updatedFrom.isEmpty())
        d.vendor.payload.session().updatedFrom = change.updatedFrom;
    if (!change.toast.isEmpty()) {
        appLog(QStringLiteral("banner: ") + change.toast);
        m_toast->showToast(change.toast, UpdatedToastSeconds);
    }
}

void AppDelegate::showRequested()
{
    if (m_started)
        openSettings();
    else
        m_consent->present();
}

void AppDelegate::openSettings(SettingsTab tab)
{
    d.windows.openSettings(tab);
}

bool AppDelegate::mayReachVendor() const
{
    return m_started && consentGiven(d.store);
}

void AppDelegate::checkForUpdates(bool manual)
{
    // Nothing reaches the vendor before the user agreed, nor once the key is gone from the file.
    if (!mayReachVendor()) {
        appLog(QStringLiteral("update check skipped: no consent"));
        if (manual && !m_started)
            m_consent->present();
        return;
    }
    d.updates.checkForUpdates(manual);
}

void AppDelegate::handle(TrayAction action)
{
    switch (action) {
    case TrayAction::OpenStats:
        return d.windows.showStatistics();
    case TrayAction::OpenHidden:
        return d.windows.showHiddenApps();
    case TrayAction::OpenSettings:
        return openSettings();
    case TrayAction::CheckUpdates:
        return checkForUpdates(true);
    case TrayAction::OpenAbout:
        return m_about->present();
    case TrayAction::Quit:
        return quitApp();
    default:
        return;  // enable and pause are the menu's own
    }
}

void AppDelegate::terminate()
{
    m_poll->stop();
    appLog(QStringLiteral("terminate"));
    d.vendor.telemetry.quit();
}

} // namespace zumo
