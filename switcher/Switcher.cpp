// The switcher run: open, background build, delayed show, moves and finish.
#include "switcher/Switcher.h"

#include <algorithm>

#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "stats/Counters.h"
#include "switcher/SwitcherPanel.h"
#include "switcher/SwitcherView.h"
#include "switcher/UpdateReminder.h"
#include "inventory/WindowInventory.h"

namespace zumo {

Switcher::Switcher(SwitcherDeps deps)
    : m_deps(deps)
    , m_self(std::make_shared<Switcher*>(this))
{
    m_panel = makePanel();
    Weak weak = m_self;
    // A changed display arrangement re-centres a shown panel.
    m_screensChanged = m_deps.screens.changed.subscribe([weak] {
        if (auto self = weak.lock(); self && (*self)->m_visible)
            (*self)->show();
    });
}

Switcher::~Switcher() = default;

SwitcherView& Switcher::view() const
{
    return *m_panel->view();
}

Switcher::RunState Switcher::state() const
{
    if (!m_open)
        return RunState::closed;
    if (m_loading)
        return RunState::loading;
    return m_visible ? RunState::shown : RunState::loadedHidden;
}

std::unique_ptr<SwitcherPanel> Switcher::makePanel()
{
    auto panel = std::make_unique<SwitcherPanel>(m_deps.settings);
    // Mirrors look like the main panel, which the desktop set up for its compositor.
    if (m_panel)
        panel->setTranslucent(m_panel->translucent());
    SwitcherView* v = panel->view();
    Weak weak = m_self;
    v->onHover = [weak](int index) {
        if (auto self = weak.lock())
            (*self)->hover(index);
    };
    v->onPick = [weak](int index) {
        if (auto self = weak.lock())
            (*self)->pick(index);
    };
    v->onScroll = [weak](int step) {
        if (auto self = weak.lock())
            (*self)->move(step);
    };
    return panel;
}

void Switcher::setOpen(bool open)
{
    if (m_open == open)
        return;
    m_open = open;
    if (onOpenChanged)
        onOpenChanged(open);
}

void Switcher::open(bool backward, SlotFilter filter)
{
    if (m_open)
        return;
    m_loading = true;
    m_commitWhenLoaded = false;
    m_searching = false;
    m_query.clear();
    m_notice.reset();
    m_pendingMoves = 0;
    m_allEntries.clear();
    view().setEntries({});
    view().resetPointer();
    ++m_gen;
    setOpen(true);
    startBuild(backward, filter);
}

void Switcher::startBuild(bool backward, SlotFilter filter)
{
    const Settings& settings = m_deps.settings;
    const std::optional<RunningApp> front = m_deps.workspace.frontmostApplication();
    if (front && front->bundleId != m_deps.workspace.ownBundleId())
        m_deps.inventory.noteAppUsed(front->pid);
    std::vector<RunningApp> apps = m_deps.inventory.switchableApps();

    LoadedEntries loaded;
    loaded.gen = m_gen;
    loaded.previewsAllowed = settings.previews() && m_deps.permissions.screenCaptureGranted();
    loaded.hasFrontApp = front.has_value();
    loaded.frontPid = front ? front->pid : 0;
    loaded.backward = backward;

    BuildOptions options;
    options.perWindow = settings.perWindow() || filter == SlotFilter::tabs;
    if (filter == SlotFilter::currentApp && front)
        options.onlyPID = front->pid;
    options.tabs = settings.listTabs() || filter == SlotFilter::tabs;
    options.spaces = settings.otherSpaces() && filter != SlotFilter::currentSpace;
    options.previews = settings.previews();

    WindowInventory* inventory = &m_deps.inventory;
    Dispatcher* dispatcher = &m_deps.dispatcher;
    Weak weak = m_self;
    m_deps.dispatcher.background(Quality::UserInteractive,
        [inventory, dispatcher, weak, apps = std::move(apps), options, filter, loaded]() mutable {
            loaded.entries = keepForFilter(inventory->buildEntries(apps, options), filter);
            dispatcher->post([weak, loaded = std::move(loaded)]() mutable {
                if (auto self = weak.lock())
                    (*self)->entriesLoaded(std::move(loaded));
            });
        });
}

void Switcher::entriesLoaded(LoadedEntries loaded)
{
    if (loaded.gen != m_gen || !m_open)
        return;
    m_loading = false;
    const auto tabs = std::count_if(loaded.entries.begin(), loaded.entries.end(),
                                    [](const Entry& e) { return e.tab.has_value(); });
    if (tabs > 0)
        m_deps.counters.bumpCounter(QStringLiteral("tabsListed"), tabs);
    view().setPreviewMode(loaded.previewsAllowed);
    m_allEntries = std::move(loaded.entries);
    view().setEntries(m_allEntries);
    if (m_allEntries.empty()) {
        finish(false);
        return;
    }
    const int n = int(m_allEntries.size());
    const std::optional<Pid> front = loaded.hasFrontApp ? std::optional<Pid>(loaded.frontPid) : std::nullopt;
    const int start = startIndex(n, loaded.backward, front, m_allEntries.front().app.pid);
    view().setSelected(wrapIndex((long long)start + m_pendingMoves, n));
    if (loaded.previewsAllowed)
        startCaptures();
    if (m_commitWhenLoaded) {
        finish(true);
        return;
    }
    startShowTimer();
}

void Switcher::startShowTimer()
{
    cancelShowTimer();
    Weak weak = m_self;
    m_showTimer = m_deps.dispatcher.after(m_deps.settings.showDelay(), [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        (*self)->m_showTimer.reset();
        (*self)->show();
    });
}

void Switcher::cancelShowTimer()
{
    if (!m_showTimer)
        return;
    m_deps.dispatcher.cancel(*m_showTimer);
    m_showTimer.reset();
}

void Switcher::startCaptures()
{
    std::vector<std::pair<EntryId, std::uint32_t>> wanted;
    for (const Entry& e : m_allEntries) {
        if (e.windowID)
            wanted.emplace_back(e.id, *e.windowID);
    }
    if (wanted.empty())
        return;
    WindowActions* actions = &m_deps.actions;
    Dispatcher* dispatcher = &m_deps.dispatcher;
    Weak weak = m_self;
    const std::uint64_t gen = m_gen;
    m_deps.dispatcher.background(Quality::UserInitiated, [actions, dispatcher, weak, gen, wanted] {
        for (const auto& [id, windowID] : wanted) {
            const QImage thumb = scaleToFit(actions->captureWindow(windowID), 380, 200);
            if (thumb.isNull())
                continue;  // the entry keeps its icon
            dispatcher->post([weak, gen, id = id, thumb] {
                if (auto self = weak.lock())
                    (*self)->previewCaptured(gen, id, thumb);
            });
        }
    });
}

void Switcher::previewCaptured(std::uint64_t gen, EntryId id, const QImage& image)
{
    if (gen != m_gen || !m_open)
        return;
    for (Entry& e : m_allEntries) {
        if (e.id == id)
            e.thumb = image;
    }
    for (Entry& e : view().mutableEntries()) {
        if (e.id == id)
            e.thumb = image;
    }
    if (m_visible)
        redraw();
}

void Switcher::updateHint()
{
    view().setQuery(m_searching ? std::optional<QString>(m_query) : std::nullopt);
    view().setHint(hintLine(m_searching, m_notice, m_deps.settings.showHints()));
}

void Switcher::show()
{
    if (!m_open)
        return;
    cancelShowTimer();
    if (!m_notice && !m_visible && !m_searching)
        m_notice = m_deps.reminder.takePendingNotice();
    updateHint();
    const std::vector<Screen> screens = targetScreens();
    if (screens.empty())
        return;
    // More windows than fit: show only the rows that fit in the work area (the whole display
    // when that is unknown), so the selection and the hint stay on the screen.
    const Screen& target = screens.front();
    const QRectF area = target.visibleFrame.isEmpty() ? target.frame : target.visibleFrame;
    PanelShape unlimited = view().shape();
    unlimited.maxRows = 0;
    view().setMaxRows(rowsThatFit(unlimited, area.height()));
    const QSize size = view().preferredSize();
    m_panel->showCentered(screens.front().frame.toRect(), size);
    showMirrors(screens, size);
    redraw();
    m_visible = true;
}

void Switcher::showMirrors(const std::vector<Screen>& screens, QSize size)
{
    const std::size_t needed = screens.size() - 1;
    while (m_extras.size() < needed)
        m_extras.push_back(makePanel());
    std::vector<SwitcherView*> mirrors;
    for (std::size_t i = 0; i < needed; ++i)
        mirrors.push_back(m_extras[i]->view());
    view().setMirrors(mirrors);
    for (std::size_t i = 0; i < m_extras.size(); ++i) {
        SwitcherPanel& extra = *m_extras[i];
        if (i + 1 >= screens.size()) {
            extra.hidePanel();
            continue;
        }
        SwitcherView& mirror = *extra.view();
        mirror.setEntries(view().entries());
        mirror.setSelected(view().selected());
        mirror.setQuery(view().query());
        mirror.setHint(view().hint());
        mirror.setPreviewMode(view().previewMode());
        mirror.setMaxRows(view().maxRows());
        extra.showCentered(screens[i + 1].frame.toRect(), size);
    }
}

std::vector<Screen> Switcher::targetScreens() const
{
    const std::vector<Screen> all = m_deps.screens.screens();
    std::vector<Screen> chosen;
    for (int i : targetScreenIndices(all, m_deps.screens.mainScreen(), m_deps.screens.pointerLocation(),
                                     m_deps.settings.displayMode()))
        chosen.push_back(all[std::size_t(i)]);
    return chosen;
}

void Switcher::redraw()
{
    view().redraw();
}

int Switcher::shownCount() const
{
    return int(view().entries().size());
}

std::optional<Entry> Switcher::selectedEntry() const
{
    const int index = view().selected();
    if (index < 0 || index >= shownCount())
        return std::nullopt;
    return view().entries()[std::size_t(index)];
}

void Switcher::select(int index)
{
    if (index < 0 || index >= shownCount())
        return;
    view().setSelected(index);
}

void Switcher::move(int delta)
{
    if (!m_open)
        return;
    if (m_loading) {
        m_pendingMoves += delta;
        return;
    }
    const int n = shownCount();
    if (n == 0)
        return;
    view().setSelected(wrapIndex((long long)view().selected() + delta, n));
    if (m_visible)
        redraw();
    else
        show();  // a second Tab does not wait for the show delay
}

void Switcher::moveRow(int direction)
{
    if (!m_open || m_loading)
        return;
    const int next = view().selected() + direction * rowStep(view().shape());
    if (next < 0 || next >= shownCount())
        return;
    view().setSelected(next);
    redraw();
}

void Switcher::hover(int index)
{
    if (!m_open || m_loading || !m_visible)
        return;
    if (index == view().selected() || index < 0 || index >= shownCount())
        return;
    view().setSelected(index);
    redraw();
}

void Switcher::pick(int index)
{
    if (!m_open || m_loading || index < 0 || index >= shownCount())
        return;
    view().setSelected(index);
    m_deps.counters.bumpCounter(QStringLiteral("mousePicks"));
    finish(true);
}

void Switcher::hidePanels()
{
    m_panel->hidePanel();
    for (auto& extra : m_extras)
        extra->hidePanel();
    view().setMirrors({});
}

void Switcher::finish(bool commit)
{
    if (!m_open)
        return;
    if (m_loading) {
        if (commit) {
            m_commitWhenLoaded = true;
            return;
        }
        m_loading = false;
        ++m_gen;  // the pending build is now stale
        setOpen(false);
        return;
    }
    cancelShowTimer();
    const std::optional<Entry> entry = selectedEntry();
    m_visible = false;
    m_searching = false;
    ++m_gen;
    m_notice.reset();
    setOpen(false);
    if (commit && entry) {
        m_deps.counters.bumpCounter(QStringLiteral("switches"));
        m_deps.reminder.armUpdateNudge();
        m_deps.actions.activateEntry(*entry);
    }
    // The panels go away right after the activation request has left: unmapping them makes the
    // server expose every window beneath, and the window manager would redraw all of that
    // before it got to the activation. A run shown again meanwhile keeps its panel.
    Weak weak = m_self;
    m_deps.dispatcher.post([weak] {
        if (auto self = weak.lock(); self && !(*self)->m_visible)
            (*self)->hidePanels();
    });
}

} // namespace zumo
