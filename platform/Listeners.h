// One way for a subsystem to tell others that something happened: a list of listeners, each
// held by a scoped Subscription that removes it when destroyed.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace zumo {

// Removes its listener when destroyed or reset; outliving the notifier is harmless.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> remove) : m_remove(std::move(remove)) {}
    Subscription(Subscription&& other) noexcept : m_remove(std::exchange(other.m_remove, {})) {}
    Subscription& operator=(Subscription&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_remove = std::exchange(other.m_remove, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset()
    {
        if (auto remove = std::exchange(m_remove, {}))
            remove();
    }

private:
    std::function<void()> m_remove;
};

// Listeners are called in the order they subscribed, on the thread that calls notify (the main
// thread everywhere in Zumo). A listener may subscribe or unsubscribe others while being called:
// notify walks a snapshot, and a listener removed meanwhile is skipped.
template <class... Args>
class Notifier {
public:
    using Listener = std::function<void(Args...)>;

    [[nodiscard]] Subscription subscribe(Listener listener)
    {
        const int id = ++m_state->nextId;
        m_state->entries.push_back({id, std::make_shared<Listener>(std::move(listener))});
        std::weak_ptr<State> weak = m_state;
        return Subscription([weak, id] {
            if (auto state = weak.lock())
                std::erase_if(state->entries, [id](const Entry& e) { return e.id == id; });
        });
    }

    void notify(Args... args) const
    {
        const auto snapshot = m_state->entries;
        for (const Entry& entry : snapshot) {
            if (isSubscribed(entry.id))
                (*entry.listener)(args...);
        }
    }

    bool empty() const { return m_state->entries.empty(); }

private:
    struct Entry {
        int id;
        std::shared_ptr<Listener> listener;
    };
    struct State {
        int nextId = 0;
        std::vector<Entry> entries;
    };

    bool isSubscribed(int id) const
    {
        for (const Entry& e : m_state->entries) {
            if (e.id == id)
                return true;
        }
        return false;
    }

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace zumo
