// The desktop's client windows and root state, kept current by X events on the main thread and
// published as an immutable snapshot that any thread can read without a round trip.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>
#include <xcb/xcb.h>

#include "platform/Listeners.h"
#include "platform/Workspace.h"
#include "desktop/x11/HintsIcon.h"
#include "desktop/x11/X11Translate.h"

namespace zumo::x11 {

class X11Connection;

struct X11Window {
    std::uint32_t id = 0;
    QString title;                  // _NET_WM_NAME, else WM_NAME
    std::optional<Pid> pid;         // _NET_WM_PID
    // The client's process as the X server knows it (X-Resource): unlike _NET_WM_PID, which a
    // client in a pid namespace (Flatpak) gives as seen inside it, the pid every other process
    // sees. Nothing for a remote client or without the extension.
    std::optional<Pid> serverPid;
    Pid owner = 0;                  // with a pid, serverPid if known, else pid; else a negative
                                    // stand-in shared by a WM_CLASS; 0 only in the model, until published
    WmClass wmClass;
    WindowKind kind = WindowKind::Normal;
    WindowState state;
    std::optional<std::uint32_t> wmState;  // ICCCM WM_STATE
    std::optional<std::uint32_t> desktop;  // _NET_WM_DESKTOP
    FrameExtents extents;
    QRect client;                   // the client area in root coordinates
    QImage icon;                    // from _NET_WM_ICON; null when none
    std::optional<HintsPixmaps> hintsPixmaps;  // WM_HINTS' icon pixmap and mask
    QImage hintsIcon;               // their image, read only when there is no _NET_WM_ICON
    std::optional<QString> netWmName;  // the two sources of the title, as last read
    QString wmName;
    // When it last became the active window, counted up by the model; 0 when it never did while
    // this program ran. Some window managers (fluxbox, i3) do not restack in the order of use.
    std::uint64_t lastUse = 0;

    bool minimised() const { return isMinimised(state, wmState); }
    QRect frame() const { return frameRect(client, extents); }
};

struct DesktopSnapshot {
    // Bottom to top of the stacking order. Shared with the model and the snapshots before and
    // after: a change copies only the windows it touches, not thousands of unchanged ones.
    std::vector<std::shared_ptr<const X11Window>> windows;
    std::uint32_t active = 0;        // _NET_ACTIVE_WINDOW; 0 when none
    // The _NET_ACTIVE_WINDOW changes announced so far: one read of the property may cover several.
    std::uint32_t activeChanges = 0;
    std::uint32_t currentDesktop = 0;
    std::uint32_t numberOfDesktops = 1;
    std::vector<std::uint32_t> workareas;  // _NET_WORKAREA as given
    // An EWMH window manager runs (_NET_SUPPORTING_WM_CHECK names a live window of its own).
    bool windowManager = true;
    // Its _NET_WM_NAME on that window ("Marco", "Openbox"); empty when none or it gives none.
    QString windowManagerName;

    // Filled by the model when it publishes, so a lookup by id costs no walk of the list (the
    // entries of 2000 windows ask several times for each); without it find() walks the list.
    // Sorted by id: one allocation, where a hash map made one per window at every change.
    std::vector<std::pair<std::uint32_t, const X11Window*>> byId;

    const X11Window* find(std::uint32_t window) const;
    // The windows of an owner, the most recently used first (see orderByUse).
    std::vector<const X11Window*> windowsOf(Pid owner) const;
    bool onscreen(const X11Window& window) const;
};

// Windows given front to back, reordered by their last use, newest first; the windows never
// used while this program ran follow in the order given.
void orderByUse(std::vector<const X11Window*>& frontToBack);

class X11WindowModel {
public:
    // Tells this program's own windows by their id.
    using OwnWindows = std::function<bool(std::uint32_t window)>;

    // Watches the root and loads every client at once (requests pipelined). The windows `own`
    // accepts (this program's) are left out of every snapshot; another client claiming this
    // program's pid is not. Main thread.
    explicit X11WindowModel(X11Connection& connection, OwnWindows own = {});
    ~X11WindowModel();
    X11WindowModel(const X11WindowModel&) = delete;
    X11WindowModel& operator=(const X11WindowModel&) = delete;

    // The latest state; never null. Any thread; holding it keeps it unchanged.
    std::shared_ptr<const DesktopSnapshot> snapshot() const;
    // The snapshot changed. Main thread.
    Notifier<> changed;
    X11Connection& connection() { return m_x; }
    // Without a window manager: `window` was given the focus by this program, so it is the
    // active window from now on. Ignored while a window manager runs. Main thread.
    void noteFocused(std::uint32_t window);

private:
    void handle(const xcb_generic_event_t& event);
    void onProperty(std::uint32_t window, std::uint32_t atom);
    void forget(std::uint32_t window);
    void refresh();
    void fetchRoot();
    void checkWindowManager();
    void noteUse(std::uint32_t window);
    void applyClientList();
    void fetchWindows();
    void readHintsIcons(const std::vector<std::uint32_t>& windows);
    void publish();
    Pid standInPid(const QString& wmClass);
    QImage sharedIcon(std::span<const std::uint32_t> data);

    X11Connection& m_x;
    OwnWindows m_own;
    X11Window& writable(std::uint32_t window);

    std::unordered_map<std::uint32_t, std::shared_ptr<X11Window>> m_windows;
    std::unordered_map<std::uint32_t, std::uint32_t> m_dirty;  // window → fields to read again
    std::uint32_t m_rootDirty = 0;
    bool m_removed = false;  // a window was forgotten since the last snapshot
    std::vector<std::uint32_t> m_stacking, m_clientList;
    std::uint64_t m_uses = 0;     // the last X11Window::lastUse given
    std::uint32_t m_wmCheck = 0;  // the window manager's _NET_SUPPORTING_WM_CHECK window; 0 when none
    DesktopSnapshot m_root;  // root fields only; windows are assembled when publishing
    std::unordered_map<QString, Pid> m_standIns;
    static constexpr int MaxSharedIcons = 256;
    QHash<QByteArray, QImage> m_icons;  // decoded icons by their _NET_WM_ICON words
    mutable std::mutex m_mutex;
    std::shared_ptr<const DesktopSnapshot> m_snapshot;
};

} // namespace zumo::x11
