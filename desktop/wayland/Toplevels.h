// The other programs' windows from the compositor's foreign-toplevel list, with Zumo's own
// most-recently-used order: the protocol gives no pid, geometry, stacking or recency.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/Listeners.h"
#include "platform/Workspace.h"

struct wl_output;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace zumo::wayland {

class WaylandConnection;

struct Toplevel {
    std::uint32_t id = 0;  // ours, from 1, never reused
    Pid pid = 0;           // stands for the app id: one per app id, never a real process
    QString title;
    QString appId;
    bool activated = false;
    bool minimized = false;
    bool maximized = false;
    bool fullscreen = false;
    wl_output* output = nullptr;  // the output it last entered, of the connection's own
    // Where the compositor tells them (GNOME Shell); -1 when it does not, or on every desktop.
    int desktop = -1;
    int monitor = -1;
    QRect frame;  // empty when the compositor does not tell
};

// The windows as of the last "done", most recently activated first; windows never activated
// follow in the order they appeared.
struct ToplevelSnapshot {
    std::vector<Toplevel> windows;
    const Toplevel* find(std::uint32_t id) const;
    // The activated window, if any.
    const Toplevel* active() const;
};

// Moves id to the front of a most-recently-used order, adding it when new.
void noteActivated(std::vector<std::uint32_t>& order, std::uint32_t id);

// Whatever keeps the list of other programs' windows on a Wayland desktop: the wlr protocol
// here, a compositor's own extension elsewhere. Requests for an unknown id are ignored. Main
// thread, but snapshot() from any thread.
class ToplevelSource {
public:
    virtual ~ToplevelSource() = default;
    virtual std::shared_ptr<const ToplevelSnapshot> snapshot() const = 0;
    virtual void activate(std::uint32_t id) = 0;
    virtual void close(std::uint32_t id) = 0;
    virtual void setMinimized(std::uint32_t id, bool minimized) = 0;
    virtual void setFullscreen(std::uint32_t id, bool fullscreen) = 0;

    // A window became the activated one. Main thread.
    Notifier<const Toplevel&> activated;
};

class Toplevels final : public ToplevelSource {
public:
    // Binds the compositor's manager when it offers one. Main thread.
    explicit Toplevels(WaylandConnection& connection);
    ~Toplevels();
    Toplevels(const Toplevels&) = delete;
    Toplevels& operator=(const Toplevels&) = delete;

    bool available() const { return m_manager != nullptr; }
    // Any thread.
    std::shared_ptr<const ToplevelSnapshot> snapshot() const override;
    // The pid that stands for appId; the same for every window of it. Main thread.
    Pid pidFor(const QString& appId);

    // Requests; an unknown id is ignored. Main thread. The activations asked for in one turn of
    // the event loop go out as one request for the last of them: one switch asks for the
    // application and then its window, and each request would move the focus.
    void activate(std::uint32_t id) override;
    void close(std::uint32_t id) override;
    void setMinimized(std::uint32_t id, bool minimized) override;
    void setFullscreen(std::uint32_t id, bool fullscreen) override;

    struct Handle;
    void added(zwlr_foreign_toplevel_handle_v1* handle);
    void done(Handle& handle);
    void closed(Handle& handle);

private:
    zwlr_foreign_toplevel_handle_v1* handleOf(std::uint32_t id) const;
    void publish();
    void sendActivation();

    WaylandConnection& m_connection;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::vector<std::unique_ptr<Handle>> m_handles;
    std::vector<std::uint32_t> m_order;  // most recently activated first
    std::unordered_map<QString, Pid> m_pids;
    std::uint32_t m_nextId = 1;
    std::uint32_t m_pendingActivation = 0;
    QObject m_context;  // ends a queued activation with the list
    mutable std::mutex m_mutex;
    std::shared_ptr<const ToplevelSnapshot> m_snapshot;
};

} // namespace zumo::wayland
