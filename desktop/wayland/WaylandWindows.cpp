// Applications and windows as the seam asks for them, answered from the toplevel snapshot.
#include "desktop/wayland/WaylandWindows.h"

#include <QIcon>
#include <algorithm>

#include "desktop/wayland/WindowList.h"

namespace zumo::wayland {

namespace {

std::optional<std::uint32_t> toplevelId(ElementRef element)
{
    if (element == 0 || element > 0xFFFFFFFFu)
        return std::nullopt;
    return std::uint32_t(element);
}

const Toplevel* toplevelOf(const ToplevelSnapshot& snapshot, ElementRef element)
{
    const auto id = toplevelId(element);
    return id ? snapshot.find(*id) : nullptr;
}

} // namespace

WaylandWindows::WaylandWindows(WindowList& toplevels) : m_toplevels(toplevels)
{
    m_activated = toplevels.activated.subscribe([this](const Toplevel& t) { Workspace::activated.notify(appOf(t.appId, t.pid)); });
}

WaylandWindows::~WaylandWindows() = default;

RunningApp WaylandWindows::appOf(const QString& appId, Pid pid) const
{
    RunningApp app;
    app.pid = pid;
    app.bundleId = appId;
    app.name = appId;
    auto icon = m_icons.find(appId);
    if (icon == m_icons.end())
        icon = m_icons.insert(appId, QIcon::fromTheme(appId).pixmap(64).toImage());
    app.icon = *icon;
    return app;
}

std::vector<RunningApp> WaylandWindows::runningApplications() const
{
    std::vector<RunningApp> apps;
    // Held for the whole loop: a range-for keeps only the list, not the snapshot holding it, and
    // the main thread may publish the next one meanwhile.
    const auto snapshot = m_toplevels.snapshot();
    for (const Toplevel& t : snapshot->windows)
        if (std::none_of(apps.begin(), apps.end(), [&t](const RunningApp& a) { return a.pid == t.pid; }))
            apps.push_back(appOf(t.appId, t.pid));
    return apps;
}

std::optional<RunningApp> WaylandWindows::frontmostApplication() const
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* active = snapshot->active();
    if (!active)
        return std::nullopt;
    return appOf(active->appId, active->pid);
}

QString WaylandWindows::ownBundleId() const
{
    return QStringLiteral("zumo");
}

std::vector<std::uint32_t> WaylandWindows::windowsOf(Pid pid) const
{
    std::vector<std::uint32_t> ids;
    const auto snapshot = m_toplevels.snapshot();
    for (const Toplevel& t : snapshot->windows)
        if (t.pid == pid)
            ids.push_back(t.id);
    return ids;
}

void WaylandWindows::terminate(Pid pid)
{
    for (std::uint32_t id : windowsOf(pid))
        m_toplevels.close(id);
}

void WaylandWindows::hide(Pid pid)
{
    for (std::uint32_t id : windowsOf(pid))
        m_toplevels.setMinimized(id, true);
}

void WaylandWindows::unhide(Pid pid)
{
    for (std::uint32_t id : windowsOf(pid))
        m_toplevels.setMinimized(id, false);
}

void WaylandWindows::activate(Pid pid)
{
    const auto ids = windowsOf(pid);
    if (!ids.empty())
        m_toplevels.activate(ids.front());
}

std::optional<std::vector<ElementRef>> WaylandWindows::windows(Pid pid, double)
{
    std::vector<ElementRef> result;
    for (std::uint32_t id : windowsOf(pid))
        result.push_back(id);
    return result;
}

std::optional<QString> WaylandWindows::string(ElementRef element, const QString& attribute)
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* t = toplevelOf(*snapshot, element);
    if (!t)
        return std::nullopt;
    if (attribute == QLatin1String("AXSubrole"))
        return QStringLiteral("AXStandardWindow");
    if (attribute == QLatin1String("AXTitle"))
        return t->title;
    if (attribute == QLatin1String("AXRole"))
        return QStringLiteral("AXWindow");
    return std::nullopt;
}

std::optional<bool> WaylandWindows::boolean(ElementRef element, const QString& attribute)
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* t = toplevelOf(*snapshot, element);
    if (!t)
        return std::nullopt;
    if (attribute == QLatin1String("AXMinimized"))
        return t->minimized;
    if (attribute == QLatin1String("AXMain") || attribute == QLatin1String("AXFocused"))
        return t->activated;
    if (attribute == QLatin1String("AXFullScreen"))
        return t->fullscreen;
    return std::nullopt;
}

std::optional<ElementRef> WaylandWindows::element(ElementRef element, const QString& attribute)
{
    const auto id = toplevelId(element);
    if (!id || attribute != QLatin1String("AXCloseButton") || !m_toplevels.snapshot()->find(*id))
        return std::nullopt;
    // The compositor's close request stands in for the button, so the window is its own button.
    return element;
}

QRectF WaylandWindows::tokenFrame(std::uint32_t id)
{
    return QRectF(double(id) * 4096.0, 0, 640, 480);
}

std::optional<WindowFacts> WaylandWindows::facts(ElementRef element) const
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* t = element <= 0xFFFFFFFFu ? snapshot->find(std::uint32_t(element)) : nullptr;
    if (!t || t->process <= 0)
        return std::nullopt;
    // The real frame only: a stand-in would mislead the match by extents.
    return WindowFacts{t->process, t->title, QRectF(t->frame), QRectF(t->frame)};
}

QRectF WaylandWindows::frameOf(const Toplevel& t)
{
    return t.frame.isEmpty() ? tokenFrame(t.id) : QRectF(t.frame);
}

std::optional<QRectF> WaylandWindows::frame(ElementRef element)
{
    const auto snapshot = m_toplevels.snapshot();
    const Toplevel* t = toplevelOf(*snapshot, element);
    if (!t)
        return std::nullopt;
    return frameOf(*t);
}

void WaylandWindows::setPosition(ElementRef element, QPointF position)
{
    if (const auto id = toplevelId(element))
        m_toplevels.setFrameParts(*id, position.toPoint(), std::nullopt);
}

void WaylandWindows::setSize(ElementRef element, QSizeF size)
{
    if (const auto id = toplevelId(element))
        m_toplevels.setFrameParts(*id, std::nullopt, size.toSize());
}

void WaylandWindows::setFrame(ElementRef element, const QRectF& frame)
{
    if (const auto id = toplevelId(element))
        m_toplevels.setFrameParts(*id, frame.topLeft().toPoint(), frame.size().toSize());
}

void WaylandWindows::setBoolean(ElementRef element, const QString& attribute, bool value)
{
    const auto id = toplevelId(element);
    if (!id)
        return;
    if (attribute == QLatin1String("AXMinimized")) {
        if (value)
            m_toplevels.setMinimized(*id, true);
        else
            m_toplevels.activate(*id);
    } else if (attribute == QLatin1String("AXFullScreen")) {
        m_toplevels.setFullscreen(*id, value);
    } else if (value && (attribute == QLatin1String("AXMain") || attribute == QLatin1String("AXFocused"))) {
        m_toplevels.activate(*id);
    }
}

void WaylandWindows::perform(ElementRef element, const QString& action)
{
    const auto id = toplevelId(element);
    if (!id)
        return;
    if (action == QLatin1String("AXRaise"))
        m_toplevels.activate(*id);
    else if (action == QLatin1String("AXPress"))
        m_toplevels.close(*id);
}

void WaylandWindows::setFrontmost(Pid pid, double)
{
    activate(pid);
}

std::vector<WindowRecord> WaylandWindows::windowList()
{
    std::vector<WindowRecord> records;
    const auto snapshot = m_toplevels.snapshot();
    for (const Toplevel& t : snapshot->windows) {
        WindowRecord r;
        r.ownerPid = t.pid;
        r.layer = 0;
        r.number = t.id;
        r.bounds = frameOf(t);
        r.onscreen = t.onCurrentDesktop;
        r.alpha = 1.0;
        r.name = t.title;
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace zumo::wayland
