// Applications assembled from the window model, and application-wide actions.
#include "platform/x11/X11Workspace.h"

#include <QTimer>
#include <unordered_map>

#include "platform/x11/X11Actions.h"

namespace zumo::x11 {

namespace {

void describe(RunningApp& app, const X11Window& w, const DesktopIndex& index)
{
    app.pid = w.owner;
    if (auto entry = index.lookup(w.wmClass.className, w.wmClass.instance)) {
        app.bundleId = entry->id;
        app.name = entry->name;
        return;
    }
    app.bundleId = w.wmClass.className;
    app.name = !w.wmClass.className.isEmpty() ? w.wmClass.className : w.wmClass.instance;
}

} // namespace

std::vector<RunningApp> groupApplications(const DesktopSnapshot& snapshot, const DesktopIndex& index)
{
    std::vector<RunningApp> apps;
    std::unordered_map<Pid, std::size_t> at;
    for (const X11Window& w : snapshot.windows) {
        auto [it, added] = at.emplace(w.owner, apps.size());
        if (added) {
            apps.emplace_back();
            describe(apps.back(), w, index);
            apps.back().regular = false;
            apps.back().hidden = true;
        }
        RunningApp& app = apps[it->second];
        app.regular |= w.kind != WindowKind::Other && !w.state.skipTaskbar;
        app.hidden &= w.minimised();
        if (!w.icon.isNull())
            app.icon = w.icon;  // bottom to top: the topmost window's icon wins
    }
    return apps;
}

X11Workspace::X11Workspace(X11WindowModel& model, X11Actions& actions) : m_model(model), m_actions(actions)
{
    auto snapshot = m_model.snapshot();
    if (const X11Window* active = snapshot->find(snapshot->active))
        m_frontmost = active->owner;
    m_model.addListener([this] { onModelChanged(); });
    // Reading the .desktop files takes a while; do it before the first switch needs it.
    QTimer::singleShot(0, &m_context, [this] { index(); });
}

const DesktopIndex& X11Workspace::index() const
{
    if (!m_index)
        m_index = DesktopIndex::scan(DesktopIndex::xdgDataDirs());
    return *m_index;
}

std::vector<RunningApp> X11Workspace::runningApplications() const
{
    return groupApplications(*m_model.snapshot(), index());
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const
{
    auto snapshot = m_model.snapshot();
    const X11Window* active = snapshot->find(snapshot->active);
    if (!active)
        return std::nullopt;
    for (RunningApp& app : groupApplications(*snapshot, index()))
        if (app.pid == active->owner)
            return app;
    return std::nullopt;
}

void X11Workspace::onModelChanged()
{
    auto snapshot = m_model.snapshot();
    const X11Window* active = snapshot->find(snapshot->active);
    // Focus passes through "no window" between two windows; that is not a change of application.
    Pid now = active ? active->owner : 0;
    if (!now || now == m_frontmost)
        return;
    m_frontmost = now;
    if (!onActivated)
        return;
    if (auto app = frontmostApplication())
        onActivated(*app);
}

void X11Workspace::terminate(Pid pid)
{
    auto snapshot = m_model.snapshot();  // keeps the windows alive while walking them
    for (const X11Window* w : snapshot->windowsOf(pid))
        m_actions.close(w->id);
}

void X11Workspace::hide(Pid pid)
{
    auto snapshot = m_model.snapshot();  // keeps the windows alive while walking them
    for (const X11Window* w : snapshot->windowsOf(pid))
        m_actions.minimise(w->id);
}

void X11Workspace::unhide(Pid pid)
{
    m_actions.restoreApp(pid);
}

void X11Workspace::activate(Pid pid)
{
    m_actions.activateApp(pid);
}

} // namespace zumo::x11
