// The seam's window queries and actions over the window list (foreign-toplevel or KWin): applications are app
// ids (each with a pid that stands for it), windows are toplevels. No geometry, no captures.
#pragma once

#include <QHash>
#include <QImage>

#include "platform/Accessibility.h"
#include "platform/WindowParts.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"

namespace zumo::wayland {

class WindowList;

class WaylandWindows final : public Workspace, public Accessibility, public WindowServer {
public:
    // toplevels must outlive this. Main thread.
    explicit WaylandWindows(WindowList& toplevels);
    ~WaylandWindows() override;

    // Workspace: applications in the order their windows were last used.
    std::vector<RunningApp> runningApplications() const override;
    std::optional<RunningApp> frontmostApplication() const override;
    QString ownBundleId() const override;
    void terminate(Pid pid) override;  // closes every window of the application
    void hide(Pid pid) override;       // minimises them
    void unhide(Pid pid) override;
    void activate(Pid pid) override;   // its most recently used window

    // Accessibility: a window's element is its toplevel id; it is its own close button.
    std::optional<std::vector<ElementRef>> windows(Pid pid, double timeout) override;
    void setTimeout(ElementRef, double) override {}
    std::optional<QString> string(ElementRef element, const QString& attribute) override;
    std::optional<bool> boolean(ElementRef element, const QString& attribute) override;
    std::optional<double> number(ElementRef, const QString&) override { return std::nullopt; }
    std::optional<ElementRef> element(ElementRef element, const QString& attribute) override;
    std::optional<std::vector<ElementRef>> elements(ElementRef, const QString&) override { return std::nullopt; }
    std::optional<QRectF> frame(ElementRef element) override;
    void setBoolean(ElementRef element, const QString& attribute, bool value) override;
    // Clients place their own windows on Wayland: moves and resizes only where the compositor
    // does them for Zumo (KWin's script).
    void setPosition(ElementRef element, QPointF position) override;
    void setSize(ElementRef element, QSizeF size) override;
    void setFrame(ElementRef element, const QRectF& frame) override;
    void perform(ElementRef element, const QString& action) override;
    void setFrontmost(Pid pid, double timeout) override;

    // What the parts layer needs to find a window's tabs; nothing for one not listed or whose
    // process the compositor does not tell.
    std::optional<WindowFacts> facts(ElementRef element) const;

    // WindowServer: one record per toplevel, numbered by its id.
    std::vector<WindowRecord> windowList() override;
    QImage capture(std::uint32_t) override { return {}; }

    // The stand-in frame of a toplevel: unique per window, so list records and windows pair up.
    static QRectF tokenFrame(std::uint32_t id);
    // Its real frame where the compositor tells it, else the stand-in.
    static QRectF frameOf(const struct Toplevel& t);

private:
    RunningApp appOf(const QString& appId, Pid pid) const;
    std::vector<std::uint32_t> windowsOf(Pid pid) const;

    WindowList& m_toplevels;
    mutable QHash<QString, QImage> m_icons;
    Subscription m_activated;
};

} // namespace zumo::wayland
