// The system-wide key handler: opens the switcher on a shortcut, drives the open run with the
// keys it swallows, and commits when the trigger modifier is released.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"
#include "switcher/TapDecision.h"

namespace zumo {

class ActiveSlots;
class Clock;
class Counters;
class Permissions;
class Settings;
class Switcher;

class Tap {
public:
    // Registers the active shortcuts with the hook now and whenever they change, and asks the
    // hook to deliver every key while a run is open. Everything given must outlive the Tap.
    Tap(Switcher& sw, KeyboardHook& hook, ActiveSlots& slots, const Settings& settings, Counters& counters,
        Permissions& permissions, const Clock& clock);
    ~Tap();
    Tap(const Tap&) = delete;
    Tap& operator=(const Tap&) = delete;

    // Installs the hook unless it exists; true when it runs afterwards. False without the
    // accessibility permission (nothing is tried), or when the system refuses the hook: then
    // the refusal is logged once per process and listen access is requested if missing.
    bool start();
    // Cancels an open run and removes the hook.
    void stop();
    // One keyboard event; true passes it on, false swallows it. Main thread.
    bool handle(const KeyEvent& event);

    std::uint64_t activeMask() const { return m_activeMask; }
    std::int64_t activeKey() const { return m_activeKey; }

private:
    TapContext context(const KeyEvent& event) const;
    void apply(const TapAction& action);
    void applyOpenRun(const TapAction& action);
    void registerShortcuts();

    Switcher& m_sw;
    KeyboardHook& m_hook;
    ActiveSlots& m_slots;
    const Settings& m_settings;
    Counters& m_counters;
    Permissions& m_permissions;
    const Clock& m_clock;
    // Written when a shortcut opens a run, read while it is open; kept in between.
    std::uint64_t m_activeMask = 0;
    std::int64_t m_activeKey = 0;
    // The trigger modifier went down again after the run's commit became pending.
    bool m_reheld = false;
    Subscription m_slotsChanged;
    Subscription m_openChanged;
};

} // namespace zumo
