// The foreign-toplevel list: handle events gathered until "done", then one new snapshot.
#include "desktop/wayland/Toplevels.h"

#include <QTimer>
#include <algorithm>
#include <wayland-client.h>

#include "desktop/wayland/WaylandConnection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"

namespace zumo::wayland {

// Pids that stand for app ids start far above any real process id the kernel gives out.
constexpr Pid FirstAppPid = 0x40000000;

struct Toplevels::Handle {
    Toplevels* owner = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    // The state as of its last "done", the only one published: the compositor sends the
    // states of several windows before their "done"s, and a window's activation read early
    // from pending would look old by its own "done" and never move it to the front.
    Toplevel current;
    Toplevel pending;  // current with the changes since
    bool announced = false;
};

namespace {

using Handle = Toplevels::Handle;

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title)
{
    static_cast<Handle*>(data)->pending.title = QString::fromUtf8(title);
}

void onAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId)
{
    static_cast<Handle*>(data)->pending.appId = QString::fromUtf8(appId);
}

void onOutputEnter(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output)
{
    static_cast<Handle*>(data)->pending.output = output;
}

void onOutputLeave(void* data, zwlr_foreign_toplevel_handle_v1*, wl_output* output)
{
    Toplevel& t = static_cast<Handle*>(data)->pending;
    if (t.output == output)
        t.output = nullptr;
}

void onState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states)
{
    Toplevel& t = static_cast<Handle*>(data)->pending;
    t.activated = t.minimized = t.maximized = t.fullscreen = false;
    const auto* begin = static_cast<const std::uint32_t*>(states->data);
    for (const std::uint32_t* s = begin; s < begin + states->size / sizeof(std::uint32_t); ++s) {
        t.activated |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        t.minimized |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED;
        t.maximized |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED;
        t.fullscreen |= *s == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN;
    }
}

void onDone(void* data, zwlr_foreign_toplevel_handle_v1*)
{
    auto* h = static_cast<Handle*>(data);
    h->owner->done(*h);
}

void onClosed(void* data, zwlr_foreign_toplevel_handle_v1*)
{
    auto* h = static_cast<Handle*>(data);
    h->owner->closed(*h);
}

void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener handleListener{onTitle, onAppId, onOutputEnter, onOutputLeave,
                                                              onState, onDone,  onClosed,      onParent};

void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle)
{
    static_cast<Toplevels*>(data)->added(handle);
}

void onFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}

const zwlr_foreign_toplevel_manager_v1_listener managerListener{onToplevel, onFinished};

} // namespace

const Toplevel* ToplevelSnapshot::find(std::uint32_t id) const
{
    auto it = std::find_if(windows.begin(), windows.end(), [id](const Toplevel& t) { return t.id == id; });
    return it == windows.end() ? nullptr : &*it;
}

const Toplevel* ToplevelSnapshot::active() const
{
    auto it = std::find_if(windows.begin(), windows.end(), [](const Toplevel& t) { return t.activated; });
    return it == windows.end() ? nullptr : &*it;
}

void noteActivated(std::vector<std::uint32_t>& order, std::uint32_t id)
{
    auto it = std::find(order.begin(), order.end(), id);
    if (it == order.end())
        order.insert(order.begin(), id);
    else
        std::rotate(order.begin(), it, it + 1);
}

Toplevels::Toplevels(WaylandConnection& connection)
    : m_connection(connection), m_snapshot(std::make_shared<ToplevelSnapshot>())
{
    const Global& global = connection.toplevelManager();
    if (!global.name)
        return;
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
        connection.registry(), global.name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(global.version, 3u)));
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &managerListener, this);
}

Toplevels::~Toplevels()
{
    for (auto& h : m_handles)
        zwlr_foreign_toplevel_handle_v1_destroy(h->handle);
    if (m_manager) {
        // Its "finished" answer is never read now: the proxy goes at once (events for it are
        // dropped), rather than being left behind.
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    }
}

std::shared_ptr<const ToplevelSnapshot> Toplevels::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

Pid Toplevels::pidFor(const QString& appId)
{
    auto [it, added] = m_pids.try_emplace(appId, FirstAppPid + Pid(m_pids.size()));
    return it->second;
}

void Toplevels::added(zwlr_foreign_toplevel_handle_v1* handle)
{
    auto h = std::make_unique<Handle>();
    h->owner = this;
    h->handle = handle;
    h->pending.id = h->current.id = m_nextId++;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, h.get());
    m_handles.push_back(std::move(h));
}

void Toplevels::done(Handle& h)
{
    h.pending.pid = pidFor(h.pending.appId);
    const bool newlyActive = h.pending.activated && !(h.announced && h.current.activated);
    h.current = h.pending;
    if (!h.announced)
        m_order.push_back(h.current.id);
    h.announced = true;
    if (newlyActive)
        noteActivated(m_order, h.current.id);
    publish();
    if (newlyActive)
        activated.notify(h.current);
}

void Toplevels::closed(Handle& h)
{
    const std::uint32_t id = h.pending.id;
    m_order.erase(std::remove(m_order.begin(), m_order.end(), id), m_order.end());
    zwlr_foreign_toplevel_handle_v1_destroy(h.handle);
    m_handles.erase(std::find_if(m_handles.begin(), m_handles.end(), [&h](const auto& p) { return p.get() == &h; }));
    publish();
}

void Toplevels::publish()
{
    auto next = std::make_shared<ToplevelSnapshot>();
    for (std::uint32_t id : m_order) {
        auto it = std::find_if(m_handles.begin(), m_handles.end(), [id](const auto& h) { return h->current.id == id; });
        if (it != m_handles.end())
            next->windows.push_back((*it)->current);
    }
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(next);
}

zwlr_foreign_toplevel_handle_v1* Toplevels::handleOf(std::uint32_t id) const
{
    auto it = std::find_if(m_handles.begin(), m_handles.end(), [id](const auto& h) { return h->pending.id == id; });
    return it == m_handles.end() ? nullptr : (*it)->handle;
}

void Toplevels::activate(std::uint32_t id)
{
    if (!handleOf(id) || !m_connection.seat())
        return;
    if (!m_pendingActivation)
        QTimer::singleShot(0, &m_context, [this] { sendActivation(); });
    m_pendingActivation = id;
    // Counted as used at once: the compositor's answer comes later, and a quick second switch
    // must already start from this window.
    noteActivated(m_order, id);
    publish();
}

void Toplevels::sendActivation()
{
    const std::uint32_t id = std::exchange(m_pendingActivation, 0);
    if (auto* h = handleOf(id)) {
        zwlr_foreign_toplevel_handle_v1_activate(h, m_connection.seat());
        m_connection.flush();
    }
}

void Toplevels::close(std::uint32_t id)
{
    if (auto* h = handleOf(id))
        zwlr_foreign_toplevel_handle_v1_close(h);
}

void Toplevels::setMinimized(std::uint32_t id, bool minimized)
{
    auto* h = handleOf(id);
    if (!h)
        return;
    if (minimized)
        zwlr_foreign_toplevel_handle_v1_set_minimized(h);
    else
        zwlr_foreign_toplevel_handle_v1_unset_minimized(h);
}

void Toplevels::setFullscreen(std::uint32_t id, bool fullscreen)
{
    auto* h = handleOf(id);
    if (!h || zwlr_foreign_toplevel_handle_v1_get_version(h) < 2)
        return;
    if (fullscreen)
        zwlr_foreign_toplevel_handle_v1_set_fullscreen(h, nullptr);
    else
        zwlr_foreign_toplevel_handle_v1_unset_fullscreen(h);
}

} // namespace zumo::wayland
