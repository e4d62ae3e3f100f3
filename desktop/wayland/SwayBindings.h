// On sway, "bindsym Mod1+Tab nop zumo next" reaches Zumo as an IPC binding event, so no process
// starts per press (faster than "exec zumo --next", which also works).
#pragma once

#include <QByteArray>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace zumo::wayland {

// The trigger a binding event's JSON payload stands for: false for "nop zumo next", true
// (reverse) for "nop zumo prev"; nothing for any other binding or a malformed payload.
std::optional<bool> bindingTrigger(const QByteArray& payload);

class SwayBindings {
public:
    // Connects to $SWAYSOCK when it is set and subscribes to binding events; trigger is called
    // on the main thread for each of Zumo's bindings.
    explicit SwayBindings(std::function<void(bool reverse)> trigger);
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

    std::function<void(bool)> m_trigger;
    int m_socket = -1;
    std::unique_ptr<QSocketNotifier> m_readable;
    QByteArray m_buffer;
    std::deque<std::function<void()>> m_waiting;  // for the answers to afterBindings' requests
};

} // namespace zumo::wayland
