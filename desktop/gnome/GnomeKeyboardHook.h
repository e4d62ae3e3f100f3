// The keyboard hook on GNOME Shell. The extension answers the Shell's switcher bindings (Alt+Tab
// and Alt+Shift+Tab, whatever the user bound them to) for Zumo while this hook exists: a press
// arrives as SwitchPressed with the keyboard already held by the extension, and while a run is
// open every key and modifier change arrives from that hold, as Clutter keysyms and masks.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/KeyboardHook.h"
#include "platform/Listeners.h"

namespace zumo::gnome {

class ShellBridge;

// Beyond the KeyboardHook contract:
// - a binding press stands for a press of the main shortcut (Shift added for reverse), and one
//   of the Shell's window-group switcher (Alt+`) for the per-application shortcut, which the
//   extension takes only while the shortcut list has it;
// - setCapturing(false) keeps the keyboard until panelsHidden(), so the run's activation
//   request reaches the Shell before the keyboard goes back;
// - the hold taken from the extension (another modal dialog) delivers DisabledByUserInput.
class GnomeKeyboardHook final : public KeyboardHook {
public:
    // bridge must outlive the hook. Main thread.
    explicit GnomeKeyboardHook(ShellBridge& bridge);
    ~GnomeKeyboardHook() override;

    bool create(Handler handler) override;
    bool exists() const override { return bool(m_handler); }
    bool enabled() const override { return exists(); }
    void enable() override {}
    void destroy() override;
    bool listenAccessGranted() const override { return true; }
    void requestListenAccess() override {}
    void setShortcuts(const std::vector<HookShortcut>& shortcuts) override;
    void setCapturing(bool capturing) override;

    // The run's panel was hidden: the extension lets the keyboard go unless a new run holds it.
    void panelsHidden();
    // The monitor the pointer was on at the last press, -1 before the first.
    int pressMonitor() const { return m_pressMonitor; }

private:
    void pressed(bool reverse, int monitor, bool group);
    // The per-application shortcut: the main one's modifiers with `; nothing when it is off.
    std::optional<HookShortcut> groupShortcut() const;
    void takeShortcuts();
    void key(std::uint32_t keysym, std::uint32_t keycode, bool pressed, std::uint32_t modifiers);
    void deliver(const KeyEvent& event);

    ShellBridge& m_bridge;
    Handler m_handler;
    std::vector<HookShortcut> m_shortcuts;
    bool m_capturing = false;
    int m_pressMonitor = -1;
    std::vector<Subscription> m_subscriptions;
};

// Flag bits of KeyCodes.h for a Clutter modifier mask.
std::uint64_t flagsForClutter(std::uint32_t mask);

} // namespace zumo::gnome
