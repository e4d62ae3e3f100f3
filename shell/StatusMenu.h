// The tray menu's behaviour: reads the stored state, draws it through TrayIcon, and carries out
// the enable and pause actions itself. Opening windows, checking for updates and quitting are
// handed to the application through `requested`.
#pragma once

#include <QLocale>
#include <QTimeZone>

#include "platform/Listeners.h"
#include "shell/TrayIcon.h"
#include "shell/TrayMenu.h"

namespace zumo {

class Clock;
class Counters;
class HookControl;
class Settings;

struct StatusMenuDeps {
    const Settings& settings;  // written through its store: "enabled", "pauseUntil"
    const Counters& counters;
    const Clock& clock;
    const HookControl& hook;
};

class StatusMenu {
public:
    explicit StatusMenu(StatusMenuDeps deps, QTimeZone zone = QTimeZone::systemTimeZone(), QLocale locale = QLocale());

    // The state as stored now.
    TrayState state() const;
    // Shows or removes the tray icon ("showMenuBar") and redraws its look, menu and counter.
    void updateStatusItem();
    // Redraws only the counter beside the icon.
    void updateMenuCounter();
    // Carries out a menu choice; the ones it does not handle go out through `requested`.
    void choose(TrayAction action);

    TrayIcon& tray() { return m_tray; }

    // Open statistics, hidden apps, Settings or About; check for updates; quit.
    Notifier<TrayAction> requested;
    // "enabled" or "pauseUntil" was written: the Settings window should reload.
    Notifier<> stateChanged;

private:
    void toggleEnabled();
    void pauseFor(int minutes);
    void resumeNow();

    StatusMenuDeps m_deps;
    QTimeZone m_zone;
    QLocale m_locale;
    TrayIcon m_tray;
    Subscription m_chosen;
    Subscription m_opening;
};

} // namespace zumo
