// The running applications of an X11 session: client windows grouped by owner process.
#pragma once

#include <QObject>
#include <QHash>
#include <functional>
#include <optional>
#include <unordered_set>

#include "platform/Workspace.h"
#include "desktop/x11/DesktopEntries.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11WindowModel.h"

namespace zumo::x11 {

// An icon theme's image for an icon name; null when the theme has none.
using ThemeIcons = std::function<QImage(const QString& name)>;

// Groups the snapshot's windows into applications, in stacking order of their lowest window.
// An application is a _NET_WM_PID (or one WM_CLASS among windows without a pid). Its bundle id
// and name come from the matching .desktop entry, else from the WM_CLASS class. Its icon, in
// order: the _NET_WM_ICON of its topmost window that has one, the icon of its .desktop entry
// from `theme`, the WM_HINTS icon of its topmost window that has one; else none.
// Regular: owns a normal or dialog window not marked skip-taskbar.
// Hidden: every window minimised. Listed applications have windows, so none is terminated.
std::vector<RunningApp> groupApplications(const DesktopSnapshot& snapshot, const DesktopIndex& index,
                                          const ThemeIcons& theme = {});

// How long an activation the model has not caught up with is believed: long enough for a busy
// window manager, short enough that one ignoring the request does not pin a stale answer.
inline constexpr std::chrono::milliseconds ActivationBelief{500};

// Whether a requested activation still stands for the front: from the request until the model
// shows it answered (activationAnswered) or ActivationBelief has passed.
bool activationBelieved(const DesktopSnapshot& model, const RequestedActivation& requested,
                        std::chrono::steady_clock::time_point now);

// The owner of the frontmost window, counting an activation still in flight. `activeOwner` is
// the owner of the model's _NET_ACTIVE_WINDOW (0 for none). The requested window's
// owner is in front while the request is believed. A request for an unknown window (owner 0) is
// not believed.
Pid frontOwner(const DesktopSnapshot& model, Pid activeOwner, const std::optional<RequestedActivation>& requested,
               std::chrono::steady_clock::time_point now);

class X11Workspace final : public Workspace {
public:
    // Main thread; the model and actions must outlive this. The .desktop index is read once, at
    // the first turn of the event loop (or the first request, if sooner), and kept.
    X11Workspace(X11WindowModel& model, X11Actions& actions);

    std::vector<RunningApp> runningApplications() const override;
    // The application of the active window, or of the window last asked to be activated while
    // the window manager has not yet acted on it (see frontOwner); none when neither is listed.
    // activated follows the same answer, so an application is reported once per change.
    std::optional<RunningApp> frontmostApplication() const override;
    QString ownBundleId() const override { return QStringLiteral("com.zumo.app"); }
    void terminate(Pid pid) override;  // closes every window politely
    void hide(Pid pid) override;       // minimises every window
    void unhide(Pid pid) override;     // brings the minimised windows back
    void activate(Pid pid) override;   // activates the topmost window
    void sendRequestsNow() override;

private:
    const DesktopIndex& index() const;
    // The theme's (or the file's) image for an icon name, read once. Main thread.
    QImage themeIcon(const QString& name) const;
    ThemeIcons themeIcons() const;
    void loadNewThemeIcons(const DesktopSnapshot& snapshot);
    Pid frontOwnerNow(const DesktopSnapshot& snapshot) const;
    void onModelChanged();

    X11WindowModel& m_model;
    X11Actions& m_actions;
    mutable std::optional<DesktopIndex> m_index;
    mutable QHash<QString, QImage> m_themeIcons;
    std::unordered_set<Pid> m_iconsLoadedFor;  // owners whose .desktop icon was looked up
    Pid m_frontmost = 0;
    QObject m_context;
    Subscription m_modelChanged;
};

} // namespace zumo::x11
