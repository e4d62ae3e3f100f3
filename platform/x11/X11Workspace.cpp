// Applications assembled from the window model, and application-wide actions.
#include "platform/x11/X11Workspace.h"

#include <QTimer>
#include <unordered_map>

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

bool activationBelieved(std::uint32_t active, const RequestedActivation& requested,
                        std::chrono::steady_clock::time_point now)
{
    // Past the belief the window manager ignored it, or never said.
    return now - requested.at < ActivationBelief && !activationAnswered(active, requested);
}

Pid frontOwner(std::uint32_t active, Pid activeOwner, const std::optional<RequestedActivation>& requested,
               std::chrono::steady_clock::time_point now)
{
    if (!requested || !requested->owner || !activationBelieved(active, *requested, now))
        return activeOwner;
    return requested->owner;
}

X11Workspace::X11Workspace(X11WindowModel& model, X11Actions& actions) : m_model(model), m_actions(actions)
{
    m_frontmost = frontOwnerNow(*m_model.snapshot());
    m_modelChanged = m_model.changed.subscribe([this] { onModelChanged(); });
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

namespace {

Pid activeOwner(const DesktopSnapshot& snapshot)
{
    const X11Window* active = snapshot.find(snapshot.active);
    return active ? active->owner : 0;
}

} // namespace

Pid X11Workspace::frontOwnerNow(const DesktopSnapshot& snapshot) const
{
    return frontOwner(snapshot.active, activeOwner(snapshot), m_actions.lastActivation(), m_actions.now());
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const
{
    auto snapshot = m_model.snapshot();
    const Pid owner = frontOwnerNow(*snapshot);
    if (!owner)
        return std::nullopt;
    std::vector<RunningApp> apps = groupApplications(*snapshot, index());
    // The requested window may have closed before the window manager got to it.
    for (Pid pid : {owner, activeOwner(*snapshot)})
        for (RunningApp& app : apps)
            if (pid && app.pid == pid)
                return app;
    return std::nullopt;
}

void X11Workspace::onModelChanged()
{
    // Focus passes through "no window" between two windows; that is not a change of application.
    const Pid now = frontOwnerNow(*m_model.snapshot());
    if (!now || now == m_frontmost)
        return;
    m_frontmost = now;
    if (activated.empty())
        return;
    if (auto app = frontmostApplication())
        activated.notify(*app);
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
