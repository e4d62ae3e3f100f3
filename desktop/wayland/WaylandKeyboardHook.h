// The keyboard hook on Wayland. No client may watch the keyboard there, so the compositor's own
// binding opens the run (zumo --next over the control socket, see trigger()), and while a run
// is open the overlay surface holds the keyboard: Alt's release arrives as a modifiers event,
// the panel's keys as key events, translated with xkbcommon.
#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "platform/KeyCodes.h"
#include "platform/KeyboardHook.h"
#include "desktop/wayland/WaylandConnection.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace zumo::wayland {

class LayerOverlay;

// Beyond the KeyboardHook contract:
// - trigger() stands for a press of a shortcut (Shift added for reverse); the handler
//   opens or moves the run as for a real press. Repeated Tabs while Alt is held arrive the
//   same way, since the compositor keeps its binding while the overlay has the keyboard.
// - setCapturing(true) has the overlay take the keyboard; when it receives it the modifiers
//   held are delivered as FlagsChanged, so a quick tap (Alt already up) commits at once.
// - setCapturing(false) stops delivering keys but keeps the keyboard until panelsHidden(): the
//   run's activation request must reach the compositor before the keyboard is let go, or the
//   compositor would first hand it back to the window that had it.
// - Losing the keyboard to another surface while capturing delivers DisabledByUserInput.
// - keyboardTaken runs when a run has the overlay take the keyboard, keyboardLetGo when it lets
//   go of a keyboard it still had; a compositor that does not then hand the keyboard to a window
//   (KWin) is told which one to give it to.
class WaylandKeyboardHook final : public KeyboardHook, private KeyboardListener {
public:
    // Both must outlive the hook. Main thread.
    WaylandKeyboardHook(WaylandConnection& connection, LayerOverlay& overlay);
    ~WaylandKeyboardHook() override;
    WaylandKeyboardHook(const WaylandKeyboardHook&) = delete;
    WaylandKeyboardHook& operator=(const WaylandKeyboardHook&) = delete;

    bool create(Handler handler) override;
    bool exists() const override { return bool(m_handler); }
    bool enabled() const override { return exists(); }
    void enable() override {}
    void destroy() override;
    bool listenAccessGranted() const override { return true; }
    void requestListenAccess() override {}
    void setShortcuts(const std::vector<HookShortcut>& shortcuts) override { m_shortcuts = shortcuts; }
    void setCapturing(bool capturing) override;

    // The compositor's binding for that place in the shortcut list fired (the main shortcut
    // when there is none there). False when the hook is off.
    bool trigger(bool reverse, std::size_t shortcut = 0);
    // The compositor's binding on those keys fired: the shortcut of the list with those keys,
    // else the main one.
    bool triggerKeys(bool reverse, const HookShortcut& keys);
    // The run's panel was hidden (after its activation request): the overlay lets the keyboard
    // go unless a new run holds it.
    void panelsHidden();
    std::function<void()> keyboardTaken;
    std::function<void()> keyboardLetGo;
    // Where the binding comes over another socket than the keys (sway's IPC, KWin's D-Bus): calls
    // done once every binding the compositor sent so far has been handled. A Tab pressed just
    // before Alt's release may be read after the release; the release waits for it.
    std::function<void(std::function<void()> done)> afterBindings;

private:
    void keymap(const QByteArray& text) override;
    void entered(wl_surface* surface) override;
    void left() override;
    void key(std::uint32_t key, bool pressed) override;
    void modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked, std::uint32_t group) override;
    std::uint64_t heldFlags() const;
    void deliver(const KeyEvent& event);
    // Keys and modifiers from the keyboard: held behind a release of the main shortcut's
    // modifiers until the bindings sent before it are in.
    void deliverKey(const KeyEvent& event);
    void letHeldGo(std::uint64_t hold);

    WaylandConnection& m_connection;
    LayerOverlay& m_overlay;
    Handler m_handler;
    std::vector<HookShortcut> m_shortcuts;
    std::uint64_t m_runMask = keys::Option;  // the modifiers of the shortcut that opened the run
    bool m_capturing = false;
    bool m_focused = false;  // the overlay has the keyboard
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;  // one of m_keymaps
    // The keymaps last received, compiled, oldest first.
    static constexpr std::size_t KeptKeymaps = 4;
    std::vector<std::pair<QByteArray, xkb_keymap*>> m_keymaps;
    xkb_state* m_state = nullptr;
    std::vector<KeyEvent> m_held;  // keyboard events behind a release, in order
    std::uint64_t m_hold = 0;      // the current hold, counted; a late answer to an old one is ignored
    bool m_holding = false;
    QObject m_posted;  // ends posted deliveries with the hook
};

} // namespace zumo::wayland
