// On sway, "bindsym Mod1+Tab nop zumo next" reaches Zumo as an IPC binding event, so no process
// starts per press (faster than "exec zumo --next", which also works). The event names the
// binding's keys, so one command serves every shortcut of the list: Alt+` as well as Alt+Tab.
#pragma once

#include <QByteArray>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/KeyboardHook.h"

class QSocketNotifier;

namespace zumo::wayland {

// What one of Zumo's bindings asks for.
struct SwayTrigger {
    bool reverse = false;  // "nop zumo prev"
    // The binding's keys as the shortcut list names them, Shift left out: Alt+` for
    // "bindsym Mod1+Shift+grave nop zumo prev". A key the list cannot have stays 0.
    HookShortcut keys;
    bool operator==(const SwayTrigger&) const = default;
};

// The trigger a binding event's JSON payload stands for; nothing for any binding but
// "nop zumo next" and "nop zumo prev", or a malformed payload.
std::optional<SwayTrigger> bindingTrigger(const QByteArray& payload);

class SwayBindings {
public:
    // Connects to $SWAYSOCK when it is set and subscribes to binding events; trigger is called
    // on the main thread for each of Zumo's bindings.
    explicit SwayBindings(std::function<void(const SwayTrigger&)> trigger);
    ~SwayBindings();
    SwayBindings(const SwayBindings&) = delete;
    SwayBindings& operator=(const SwayBindings&) = delete;

    bool connected() const;
    // Calls done once every binding event sway sent before it read this request has been
    // handled (sway answers its IPC in order); at once when not connected.
    void afterBindings(std::function<void()> done);

private:
    void read();
    void close();

    std::function<void(const SwayTrigger&)> m_trigger;
    int m_socket = -1;
    std::unique_ptr<QSocketNotifier> m_readable;
    QByteArray m_buffer;
    std::deque<std::function<void()>> m_waiting;  // for the answers to afterBindings' requests
};

} // namespace zumo::wayland
