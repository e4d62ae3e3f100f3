// Reports in, requests out.
#include "desktop/gnome/ShellWindows.h"

#include <QTimer>
#include <algorithm>

#include "desktop/gnome/ShellBridge.h"

namespace zumo::gnome {

namespace {

// As for the wlroots list: pids standing for app ids, far above the kernel's.
constexpr Pid FirstAppPid = 0x40000000;

} // namespace

ShellWindows::ShellWindows(ShellBridge& bridge)
    : m_bridge(bridge), m_snapshot(std::make_shared<wayland::ToplevelSnapshot>())
{
    m_changed = bridge.windowsChanged.subscribe([this](const QByteArray& json) { update(json); });
    m_presence = bridge.presence.subscribe([this](bool present) { update(present ? m_bridge.windows() : QByteArray(), true); });
    if (bridge.present())
        update(bridge.windows());
}

void ShellWindows::sync()
{
    if (m_bridge.present())
        update(m_bridge.windows());
}

std::shared_ptr<const wayland::ToplevelSnapshot> ShellWindows::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

Pid ShellWindows::pidFor(const QString& appId)
{
    auto known = m_pids.find(appId);
    if (known == m_pids.end())
        known = m_pids.insert(appId, FirstAppPid + Pid(m_pids.size()));
    return *known;
}

void ShellWindows::update(const QByteArray& json, bool fresh)
{
    ShellState state = parseShellState(json);
    if (!fresh && state.serial < m_serial)
        return;
    m_serial = state.serial;
    auto next = std::make_shared<wayland::ToplevelSnapshot>();
    next->windows = std::move(state.windows);
    for (wayland::Toplevel& t : next->windows)
        t.pid = pidFor(t.appId);
    m_monitors = std::move(state.monitors);
    publish(next);
    const wayland::Toplevel* active = next->active();
    const std::uint32_t activeId = active ? active->id : 0;
    if (activeId == m_active)
        return;
    m_active = activeId;
    if (active)
        activated.notify(*active);
}

void ShellWindows::publish(std::shared_ptr<const wayland::ToplevelSnapshot> next)
{
    std::lock_guard lock(m_mutex);
    m_snapshot = std::move(next);
}

std::optional<std::uint32_t> ShellWindows::desktopOf(std::uint32_t id) const
{
    const auto current = snapshot();  // held while t points into it
    const wayland::Toplevel* t = current->find(id);
    if (!t || t->desktop == 0)
        return std::nullopt;
    return t->desktop - 1;
}

void ShellWindows::activate(std::uint32_t id)
{
    const auto current = snapshot();
    if (!current->find(id))
        return;
    if (!m_pendingActivation)
        QTimer::singleShot(0, &m_context, [this] { sendActivation(); });
    m_pendingActivation = id;
    auto next = std::make_shared<wayland::ToplevelSnapshot>(*current);
    std::stable_partition(next->windows.begin(), next->windows.end(),
                          [id](const wayland::Toplevel& t) { return t.id == id; });
    publish(next);
}

void ShellWindows::sendActivation()
{
    m_bridge.call(QStringLiteral("Activate"), {std::exchange(m_pendingActivation, 0u)});
}

void ShellWindows::setGeometry(std::uint32_t id, std::optional<QPointF> position, std::optional<QSizeF> size)
{
    std::lock_guard lock(m_mutex);
    const wayland::Toplevel* t = m_snapshot->find(id);
    if (!t)
        return;
    const bool first = m_pendingGeometry.empty();
    auto pending = m_pendingGeometry.try_emplace(id, QRectF(t->frame)).first;
    if (position)
        pending->second.moveTopLeft(*position);
    if (size)
        pending->second.setSize(*size);
    if (first)
        QMetaObject::invokeMethod(&m_context, [this] { sendGeometry(); }, Qt::QueuedConnection);
}

void ShellWindows::sendGeometry()
{
    std::unordered_map<std::uint32_t, QRectF> pending;
    {
        std::lock_guard lock(m_mutex);
        pending.swap(m_pendingGeometry);
    }
    for (const auto& [id, frame] : pending) {
        const QRect r = frame.toRect();
        m_bridge.call(QStringLiteral("MoveResize"), {id, r.x(), r.y(), r.width(), r.height()});
    }
}

void ShellWindows::close(std::uint32_t id)
{
    m_bridge.call(QStringLiteral("Close"), {id});
}

void ShellWindows::setMinimized(std::uint32_t id, bool minimized)
{
    m_bridge.call(QStringLiteral("SetMinimized"), {id, minimized});
}

void ShellWindows::setFullscreen(std::uint32_t id, bool fullscreen)
{
    m_bridge.call(QStringLiteral("SetFullscreen"), {id, fullscreen});
}

} // namespace zumo::gnome
