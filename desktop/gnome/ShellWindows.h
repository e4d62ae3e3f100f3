// The other programs' windows as the GNOME Shell extension reports them, kept as the snapshot
// the Wayland window queries read; the requests go back to the extension.
#pragma once

#include <QHash>
#include <QObject>
#include <QRectF>
#include <mutex>
#include <unordered_map>

#include "desktop/gnome/ShellState.h"
#include "desktop/wayland/WindowList.h"

namespace zumo::gnome {

class ShellBridge;

class ShellWindows final : public wayland::WindowList {
public:
    // bridge must outlive this. Reads the extension's state now when it is there. Main thread.
    explicit ShellWindows(ShellBridge& bridge);

    std::shared_ptr<const wayland::ToplevelSnapshot> snapshot() const override;
    // As on wlroots: the window counts as used at once (so the application's "most recently
    // used window" is it from now on), and the activations of one turn go out as one request
    // for the last of them.
    void activate(std::uint32_t id) override;
    void close(std::uint32_t id) override;
    void setMinimized(std::uint32_t id, bool minimized) override;
    void setFullscreen(std::uint32_t id, bool fullscreen) override;

    // Moves or resizes a window (frame, global top-left coordinates); what is not given stays.
    // The changes asked for in one turn go out as one request. Any thread.
    void setGeometry(std::uint32_t id, std::optional<QPointF> position, std::optional<QSizeF> size);

    // The monitors and active workspace of the last report. Main thread.
    const std::vector<ShellMonitor>& monitors() const { return m_monitors; }
    // The workspace window is on; nothing for an unknown window or one on every workspace.
    std::optional<std::uint32_t> desktopOf(std::uint32_t id) const;

    // Takes a report of the extension unless it is older than the one taken last; a fresh
    // extension (restarted with the Shell) starts over. Main thread.
    void update(const QByteArray& json, bool fresh = false);
    // Takes the extension's state now, so every change it saw before is in the snapshot.
    void sync();

private:
    Pid pidFor(const QString& appId);
    void publish(std::shared_ptr<const wayland::ToplevelSnapshot> next);
    void sendActivation();
    void sendGeometry();

    ShellBridge& m_bridge;
    Subscription m_changed;
    Subscription m_presence;
    std::vector<ShellMonitor> m_monitors;
    QHash<QString, Pid> m_pids;
    std::uint32_t m_active = 0;
    double m_serial = 0;
    std::uint32_t m_pendingActivation = 0;
    std::unordered_map<std::uint32_t, QRectF> m_pendingGeometry;  // guarded by m_mutex
    QObject m_context;  // ends queued requests with the list
    mutable std::mutex m_mutex;
    std::shared_ptr<const wayland::ToplevelSnapshot> m_snapshot;
};

} // namespace zumo::gnome
