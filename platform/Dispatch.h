// Where work runs: the main thread (the owner of all state), one-shot timers on it,
// and background workers. Background work gets copies and posts its result back.
#pragma once

#include <cstdint>
#include <functional>

namespace zumo {

// How urgent background work is; maps to thread priorities.
enum class Quality { UserInteractive, UserInitiated, Default, Utility };

class Dispatcher {
public:
    using TimerId = std::uint64_t;
    virtual ~Dispatcher() = default;

    // Runs fn on the main thread, after the events already queued. Safe from any thread.
    virtual void post(std::function<void()> fn) = 0;
    // Runs fn once on the main thread after `seconds` (0 means at the next turn of the loop).
    // Call from the main thread. Returns an id for cancel(); ids are never 0.
    virtual TimerId after(double seconds, std::function<void()> fn) = 0;
    // Cancels a pending timer; an unknown or fired id is ignored.
    virtual void cancel(TimerId id) = 0;
    // Runs fn on a background worker. Safe from any thread.
    virtual void background(Quality quality, std::function<void()> fn) = 0;
};

} // namespace zumo
