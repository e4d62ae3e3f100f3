// The half-second poll that keeps the keyboard hook in step with the permission and the tray in
// step with the stored state: a pause that runs out redraws the icon without any timer of its own.
#pragma once

#include "platform/Dispatch.h"

namespace zumo {

class Clock;
class Counters;
class HookControl;
class Permissions;
class Settings;
class SettingsWindowLink;
class StatusMenu;

struct StatePollDeps {
    HookControl& hook;
    const Permissions& permissions;
    const Settings& settings;
    Counters& counters;
    const Clock& clock;
    Dispatcher& dispatcher;
    StatusMenu& menu;
    SettingsWindowLink& settingsWindow;
};

class StatePoll {
public:
    static constexpr double Interval = 0.5;

    explicit StatePoll(StatePollDeps deps);
    ~StatePoll();
    StatePoll(const StatePoll&) = delete;
    StatePoll& operator=(const StatePoll&) = delete;

    // Redraws the tray with the state the launch left (the hook it started) and starts ticking
    // every Interval seconds; trusted is the permission seen at launch.
    void start(bool trusted);
    void stop();
    // One pass of every step, in order.
    void tick();

private:
    // Each returns nothing and may redraw; the order matters (see tick()).
    void followPermission(bool trusted, bool hadHook);
    void reenableHook();
    void noteTrustChange(bool trusted, bool hadHook);
    void redrawWhenPauseFlips();
    void reloadWhenCaptureChanges();
    void arm();

    StatePollDeps m_deps;
    Dispatcher::TimerId m_timer = 0;
    bool m_lastTrusted = false;
    bool m_lastPaused = false;
};

} // namespace zumo
