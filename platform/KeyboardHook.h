// The system-wide keyboard hook: every key event of the session passes through the handler,
// which decides whether it goes on to the focused application.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace zumo {

enum class KeyEventType { KeyDown, KeyUp, FlagsChanged, DisabledByTimeout, DisabledByUserInput };

struct KeyEvent {
    KeyEventType type = KeyEventType::KeyDown;
    std::int64_t keyCode = 0;  // a code of KeyCodes.h
    std::uint64_t flags = 0;   // modifier bits of KeyCodes.h held after the event
    QString characters;        // what the key types ignoring modifiers; empty when unknown
};

// A key combination the hook must see even while another application is focused.
struct HookShortcut {
    std::uint64_t mask = 0;  // Control/Option bits
    std::int64_t key = 0;
    bool operator==(const HookShortcut&) const = default;
};

// A readable name of a shortcut for messages, e.g. "Alt+Tab", "Ctrl+Alt+`".
QString shortcutName(const HookShortcut& shortcut);

class KeyboardHook {
public:
    // Returns true to pass the event on, false to swallow it. One function, not a Notifier:
    // every key needs exactly one answer, and it is the hottest path of the program.
    using Handler = std::function<bool(const KeyEvent&)>;
    virtual ~KeyboardHook() = default;

    // Installs the hook with its handler; false when the system refuses.
    // The handler is called on the main thread.
    virtual bool create(Handler handler) = 0;
    // Created and not destroyed, whether or not events arrive just now.
    virtual bool exists() const = 0;
    // Exists and receives events; false while the system has switched it off (on X11: its
    // connection broke) until enable() brings it back.
    virtual bool enabled() const = 0;
    virtual void enable() = 0;
    // Removes the hook; no events reach the handler afterwards.
    virtual void destroy() = 0;
    virtual bool listenAccessGranted() const = 0;
    virtual void requestListenAccess() = 0;
    // The shortcuts that open a run. Backends that cannot watch every key (X11) grab these.
    virtual void setShortcuts(const std::vector<HookShortcut>& shortcuts) = 0;
    // A run is open: the backend must deliver every key to the handler until this is false.
    virtual void setCapturing(bool capturing) = 0;
};

} // namespace zumo
