// The other programs' windows from the compositor's foreign-toplevel list, with Zumo's own
// most-recently-used order: the protocol gives no pid, geometry, stacking or recency.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "desktop/wayland/WindowList.h"

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace zumo::wayland {

class WaylandConnection;

class Toplevels final : public WindowList {
public:
    // Binds the compositor's manager when it offers one. Main thread.
    explicit Toplevels(WaylandConnection& connection);
    ~Toplevels();
    Toplevels(const Toplevels&) = delete;
    Toplevels& operator=(const Toplevels&) = delete;

    bool available() const { return m_manager != nullptr; }
    std::shared_ptr<const ToplevelSnapshot> snapshot() const override;
    // The pid that stands for appId; the same for every window of it. Main thread.
    Pid pidFor(const QString& appId);

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
