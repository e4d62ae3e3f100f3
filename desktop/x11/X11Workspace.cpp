// Applications assembled from the window model, and application-wide actions.
#include "desktop/x11/X11Workspace.h"

#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QTimer>
#include <unordered_map>

namespace zumo::x11 {

namespace {

// The icons an application's windows offer; bottom to top, so the topmost window's win.
struct IconChoices {
    QImage window, hints;
    QString themeName;  // the Icon of its .desktop entry
};

// Returns the name of the .desktop entry's icon.
QString describe(RunningApp& app, const X11Window& w, const DesktopIndex& index)
{
    app.pid = w.owner;
    if (auto entry = index.lookup(w.wmClass.className, w.wmClass.instance)) {
        app.bundleId = entry->id;
        app.name = entry->name;
        return entry->icon;
    }
    app.bundleId = w.wmClass.className;
    app.name = !w.wmClass.className.isEmpty() ? w.wmClass.className : w.wmClass.instance;
    return {};
}

void chooseIcon(RunningApp& app, const IconChoices& choices, const ThemeIcons& theme)
{
    if (!choices.window.isNull()) {
        app.icon = choices.window;
        return;
    }
    if (QImage icon = theme && !choices.themeName.isEmpty() ? theme(choices.themeName) : QImage(); !icon.isNull()) {
        app.icon = icon;
        app.iconSource = IconSource::theme;
        return;
    }
    app.icon = choices.hints;
    app.iconSource = IconSource::hints;
}

} // namespace

std::vector<RunningApp> groupApplications(const DesktopSnapshot& snapshot, const DesktopIndex& index,
                                          const ThemeIcons& theme)
{
    std::vector<RunningApp> apps;
    std::vector<IconChoices> icons;
    std::unordered_map<Pid, std::size_t> at;
    for (const auto& window : snapshot.windows) {
        const X11Window& w = *window;
        auto [it, added] = at.emplace(w.owner, apps.size());
        if (added) {
            apps.emplace_back();
            icons.push_back({{}, {}, describe(apps.back(), w, index)});
            apps.back().regular = false;
            apps.back().hidden = true;
        }
        RunningApp& app = apps[it->second];
        app.regular |= w.kind != WindowKind::Other && !w.state.skipTaskbar;
        app.hidden &= w.minimised();
        IconChoices& choices = icons[it->second];
        if (!w.icon.isNull())
            choices.window = w.icon;
        if (!w.hintsIcon.isNull())
            choices.hints = w.hintsIcon;
    }
    for (std::size_t i = 0; i < apps.size(); ++i)
        chooseIcon(apps[i], icons[i], theme);
    return apps;
}

bool activationBelieved(const DesktopSnapshot& model, const RequestedActivation& requested,
                        std::chrono::steady_clock::time_point now)
{
    // Past the belief the window manager ignored it, or never said.
    return now - requested.at < ActivationBelief && !activationAnswered(model, requested);
}

Pid frontOwner(const DesktopSnapshot& model, Pid activeOwner, const std::optional<RequestedActivation>& requested,
               std::chrono::steady_clock::time_point now)
{
    if (!requested || !requested->owner || !activationBelieved(model, *requested, now))
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

QImage X11Workspace::themeIcon(const QString& name) const
{
    auto it = m_themeIcons.constFind(name);
    if (it != m_themeIcons.constEnd())
        return *it;
    // Large enough for the biggest tile on a screen of twice the density.
    constexpr int Side = 128;
    QImage image;
    if (QFileInfo(name).isAbsolute()) {
        QImageReader reader(name);
        if (reader.size().isValid())
            reader.setScaledSize(reader.size().scaled(Side, Side, Qt::KeepAspectRatio));
        image = reader.read();
    } else {
        image = QIcon::fromTheme(name).pixmap(QSize(Side, Side)).toImage();
    }
    m_themeIcons.insert(name, image);
    return image;
}

ThemeIcons X11Workspace::themeIcons() const
{
    return [this](const QString& name) { return themeIcon(name); };
}

void X11Workspace::loadNewThemeIcons(const DesktopSnapshot& snapshot)
{
    // Reading an icon file takes a while: do it when an application appears, not at a switch.
    for (const auto& window : snapshot.windows) {
        const X11Window& w = *window;
        if (!m_iconsLoadedFor.insert(w.owner).second || !w.icon.isNull())
            continue;
        if (auto entry = index().lookup(w.wmClass.className, w.wmClass.instance); entry && !entry->icon.isEmpty())
            themeIcon(entry->icon);
    }
}

std::vector<RunningApp> X11Workspace::runningApplications() const
{
    return groupApplications(*m_model.snapshot(), index(), themeIcons());
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
    return frontOwner(snapshot, activeOwner(snapshot), m_actions.lastActivation(), m_actions.now());
}

std::optional<RunningApp> X11Workspace::frontmostApplication() const
{
    auto snapshot = m_model.snapshot();
    const Pid owner = frontOwnerNow(*snapshot);
    if (!owner)
        return std::nullopt;
    // Only the candidates' windows: every switch asks this, and grouping all of a long window
    // list for one application cost more than the rest of the key press.
    const Pid active = activeOwner(*snapshot);
    DesktopSnapshot candidates;
    for (const auto& w : snapshot->windows)
        if (w->owner == owner || w->owner == active)
            candidates.windows.push_back(w);
    std::vector<RunningApp> apps = groupApplications(candidates, index(), themeIcons());
    // The requested window may have closed before the window manager got to it.
    for (Pid pid : {owner, active})
        for (RunningApp& app : apps)
            if (pid && app.pid == pid)
                return app;
    return std::nullopt;
}

void X11Workspace::onModelChanged()
{
    auto snapshot = m_model.snapshot();
    loadNewThemeIcons(*snapshot);
    // Focus passes through "no window" between two windows; that is not a change of application.
    const Pid now = frontOwnerNow(*snapshot);
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

void X11Workspace::sendRequestsNow()
{
    m_actions.sendActivationNow();
}

} // namespace zumo::x11
