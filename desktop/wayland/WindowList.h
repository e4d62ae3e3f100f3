// The other programs' windows as the Wayland backend keeps them, whichever source fills the
// list: the wlroots foreign-toplevel protocol (Toplevels) or the script Zumo loads into KWin
// (KWinWindows). Both keep Zumo's own most-recently-used order.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Listeners.h"
#include "platform/Workspace.h"

struct wl_output;

namespace zumo::wayland {

struct Toplevel {
    std::uint32_t id = 0;  // ours, from 1, never reused
    Pid pid = 0;           // stands for the app id: one per app id, never a real process
    Pid process = 0;       // the real process, where the compositor tells it; else 0
    QString title;
    QString appId;
    bool activated = false;
    bool minimized = false;
    bool maximized = false;
    bool fullscreen = false;
    wl_output* output = nullptr;  // the output it last entered, of the connection's own
    QRect frame;                  // in the outputs' layout; empty where the compositor does not say
    std::uint32_t desktop = 0;    // its virtual desktop from 1; 0 on all of them or unknown
    bool onCurrentDesktop = true;
    int monitor = -1;             // the compositor's index of its monitor, where it says (GNOME)
    QString handle;               // the compositor's own id for it, where it tells one (KWin)
};

// The windows as last reported, most recently activated first; windows never activated
// follow in the order they appeared.
struct ToplevelSnapshot {
    std::vector<Toplevel> windows;
    const Toplevel* find(std::uint32_t id) const;
    // The activated window, if any.
    const Toplevel* active() const;
};

// Moves id to the front of a most-recently-used order, adding it when new.
void noteActivated(std::vector<std::uint32_t>& order, std::uint32_t id);

class WindowList {
public:
    virtual ~WindowList() = default;
    // Any thread.
    virtual std::shared_ptr<const ToplevelSnapshot> snapshot() const = 0;

    // Requests; an unknown id is ignored. Main thread. The activations asked for in one turn of
    // the event loop go out as one request for the last of them: one switch asks for the
    // application and then its window, and each request would move the focus.
    virtual void activate(std::uint32_t id) = 0;
    virtual void close(std::uint32_t id) = 0;
    virtual void setMinimized(std::uint32_t id, bool minimized) = 0;
    virtual void setFullscreen(std::uint32_t id, bool fullscreen) = 0;
    // Moves or resizes a window, where the compositor lets Zumo (movable()). Any thread; the
    // parts given in one turn of the main loop go out as one request.
    virtual bool movable() const { return false; }
    virtual void setFrameParts(std::uint32_t, std::optional<QPoint>, std::optional<QSize>) {}

    // A window became the activated one. Main thread.
    Notifier<const Toplevel&> activated;
};

} // namespace zumo::wayland
