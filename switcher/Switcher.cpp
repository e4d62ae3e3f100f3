// The switcher run: open, background build, delayed show, moves and finish.
#include "switcher/Switcher.h"

#include <algorithm>

#include "platform/Permissions.h"
#include "settings/Settings.h"
#include "stats/Counters.h"
#include "switcher/Thumbnail.h"
#include "switcher/UpdateReminder.h"
#include "inventory/WindowInventory.h"

namespace zumo {

Switcher::Switcher(SwitcherDeps deps)
    : m_deps(deps)
    , m_self(std::make_shared<Switcher*>(this))
{
    RunPanels& panels = m_deps.panels;
    m_panelInput.push_back(panels.hovered.subscribe([this](int index) { hover(index); }));
    m_panelInput.push_back(panels.picked.subscribe([this](int index) { pick(index); }));
    m_panelInput.push_back(panels.scrolled.subscribe([this](int step) { move(step); }));
    Weak weak = m_self;
    // A changed display arrangement re-centres a shown panel.
    m_screensChanged = m_deps.screens.changed.subscribe([weak] {
        if (auto self = weak.lock(); self && (*self)->isVisible())
            (*self)->show();
    });
}

Switcher::~Switcher() = default;

void Switcher::setState(RunState state)
{
    const bool wasOpen = isOpen();
    m_state = state;
    if (wasOpen != isOpen())
        openChanged.notify(isOpen());
}

void Switcher::open(bool backward, SlotFilter filter)
{
    landPendingCommit();
    if (isOpen())
        return;
    m_commitWhenLoaded = false;
    m_rankPending = m_commitWhenRanked = false;
    m_view = RunView();
    m_notice.reset();
    m_pendingMoves = 0;
    m_kept.clear();
    m_allEntries.clear();
    m_search.reset();
    m_deps.panels.resetPointer();
    m_panelsCurrent = false;
    ++m_gen;
    // The entries build on a worker while the opening takes the keyboard (two round trips).
    startBuild(backward, filter);
    setState(RunState::loading);
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

    const BuildOptions options = buildOptions(filter, front);
    m_building = BuildRequest{apps, options, filter, loaded};
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

BuildOptions Switcher::buildOptions(SlotFilter filter, const std::optional<RunningApp>& front) const
{
    const Settings& settings = m_deps.settings;
    BuildOptions options;
    options.perWindow = settings.perWindow() || filter == SlotFilter::tabs;
    if (filter == SlotFilter::currentApp && front)
        options.onlyPID = front->pid;
    options.tabs = settings.listTabs() || filter == SlotFilter::tabs;
    options.spaces = settings.otherSpaces() && filter != SlotFilter::currentSpace;
    options.previews = settings.previews();
    return options;
}

void Switcher::prepare()
{
    if (isOpen())
        return;
    const std::vector<Screen> screens = targetScreens();
    if (screens.empty())
        return;
    // Built here and now, as a committed run's late entries are: at start, before the shortcut
    // is announced, a few milliseconds from the window model cost nobody anything.
    const std::optional<RunningApp> front = m_deps.workspace.frontmostApplication();
    RunView view;
    view.entries = m_deps.inventory.buildEntries(m_deps.inventory.switchableApps(),
                                                 buildOptions(SlotFilter::all, front));
    view.selected = 0;
    view.hint = hintLine(false, std::nullopt, m_deps.settings.showHints());
    fitRows(view, screens.front());
    m_deps.panels.warmUp(view);
}

// A run the user has already committed must land before the next one reads the order, or a
// quick second Alt+Tab would count as a further Tab of the first: its entries are built here and
// now (a few milliseconds from the window model) and the late background result is dropped.
void Switcher::landPendingCommit()
{
    if (isCommitPending())
        buildNow();
}

void Switcher::buildNow()
{
    if (!m_building)
        return;
    BuildRequest request = std::move(*m_building);
    // The keyboard is held and the worker may still wait on a browser: tabs as last seen only.
    request.options.tabsRemembered = true;
    request.loaded.entries = keepForFilter(m_deps.inventory.buildEntries(request.apps, request.options), request.filter);
    entriesLoaded(std::move(request.loaded));
}

void Switcher::entriesLoaded(LoadedEntries loaded)
{
    if (loaded.gen != m_gen || m_state != RunState::loading)
        return;
    m_building.reset();
    setState(RunState::loadedHidden);
    // The kept keys edit the query again, in their place among the other keys.
    std::vector<std::function<void()>> kept = std::exchange(m_kept, {});
    m_view.query.reset();
    const auto tabs = std::count_if(loaded.entries.begin(), loaded.entries.end(),
                                    [](const Entry& e) { return e.tab.has_value(); });
    if (tabs > 0)
        m_deps.counters.bumpCounter(QStringLiteral("tabsListed"), tabs);
    m_view.previewMode = loaded.previewsAllowed;
    m_allEntries = std::move(loaded.entries);
    setShown(m_allEntries);
    if (m_allEntries.empty()) {
        finish(false);
        return;
    }
    const int n = int(m_allEntries.size());
    const std::optional<Pid> front = loaded.hasFrontApp ? std::optional<Pid>(loaded.frontPid) : std::nullopt;
    const int start = startIndex(n, loaded.backward, front, m_allEntries.front().app.pid);
    setSelected(wrapIndex((long long)start + m_pendingMoves, n));
    m_captureRequested.clear();
    if (loaded.previewsAllowed) {
        // Before the first show the rows that fit are not known yet: take the last run's.
        RunView likely = m_view;
        likely.maxRows = m_rowsThatFit > 0 ? m_rowsThatFit : DefaultCaptureRows;
        likely.firstRow = firstRowShowing(likely);
        captureShown(likely);
    }
    if (!replayKept(std::move(kept)))
        return;
    if (m_commitWhenLoaded) {
        finish(true);
        return;
    }
    if (!isVisible())
        startShowTimer();
}

// A key typed while the entries are being built waits for them (true). Once the run's commit
// has been asked for, later keys belong to no run and are dropped (true as well).
bool Switcher::waitsForEntries(std::function<void()> verb)
{
    if (!isLoading())
        return false;
    if (!m_commitWhenLoaded)
        m_kept.push_back(std::move(verb));
    return true;
}

// False when one of the kept keys ended the run (a digit, or the last entry closed).
bool Switcher::replayKept(std::vector<std::function<void()>> kept)
{
    const std::uint64_t gen = m_gen;
    for (const std::function<void()>& verb : kept) {
        verb();
        if (m_gen != gen || !loaded())
            return false;
    }
    return true;
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

void Switcher::captureShown(const RunView& view)
{
    // Only the tiles drawn get a preview: a capture costs a round trip and its image, so 2000
    // windows must not cost 2000 of them; rows scrolled into view are captured as they come.
    if (!view.previewMode)
        return;
    std::vector<std::pair<EntryId, std::uint32_t>> wanted;
    const auto [first, last] = shownTiles(view);
    for (int i = first; i < last; ++i) {
        const Entry& e = view.entries[std::size_t(i)];
        if (e.windowID && m_captureRequested.insert(e.id).second)
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
    if (gen != m_gen || !isOpen())
        return;
    for (std::vector<Entry>* list : {&m_allEntries, &m_view.entries}) {
        for (Entry& e : *list) {
            if (e.id == id)
                e.thumb = image;
        }
    }
    if (isVisible())
        redraw();
    else
        m_panelsCurrent = false;
}

void Switcher::show()
{
    if (!loaded())
        return;
    cancelShowTimer();
    if (!m_notice && !isVisible() && !isSearching())
        m_notice = m_deps.reminder.takePendingNotice();
    m_view.hint = hintLine(isSearching(), m_notice, m_deps.settings.showHints());
    const std::vector<Screen> screens = targetScreens();
    m_panelsCurrent = false;  // until drawn below
    if (screens.empty())
        return;
    // More windows than fit: show only the rows that fit in the work area (the whole display
    // when that is unknown), so the selection and the hint stay on the screen.
    fitRows(m_view, screens.front());
    m_rowsThatFit = m_view.maxRows;
    std::vector<QRect> frames;
    for (const Screen& screen : screens)
        frames.push_back(screen.frame.toRect());
    m_deps.panels.show(m_view, frames);
    m_panelsCurrent = true;
    setState(RunState::shown);
    captureShown(m_view);
}

void Switcher::fitRows(RunView& view, const Screen& target) const
{
    const QRectF area = target.visibleFrame.isEmpty() ? target.frame : target.visibleFrame;
    view.maxRows = m_deps.panels.rowsThatFit(view, area);
    view.firstRow = firstRowShowing(view);
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
    m_deps.panels.redraw(m_view);
    m_panelsCurrent = true;
    captureShown(m_view);
}

// Every change to the content but the selection is drawn at once (show or redraw); a move that
// follows hands the panels the selection alone.
void Switcher::redrawSelection()
{
    if (!m_panelsCurrent) {
        redraw();
        return;
    }
    m_deps.panels.moveSelection(m_view);
    captureShown(m_view);
}

int Switcher::shownCount() const
{
    return int(m_view.entries.size());
}

std::optional<Entry> Switcher::selectedEntry() const
{
    const int index = m_view.selected;
    if (index < 0 || index >= shownCount())
        return std::nullopt;
    return m_view.entries[std::size_t(index)];
}

void Switcher::setShown(std::vector<Entry> entries)
{
    m_view.entries = std::move(entries);
    m_view.firstRow = firstRowShowing(m_view);
}

void Switcher::setSelected(int index)
{
    m_view.selected = index;
    m_view.firstRow = firstRowShowing(m_view);
}

void Switcher::select(int index)
{
    if (index < 0 || index >= shownCount())
        return;
    setSelected(index);
}

void Switcher::jump(int index)
{
    if (waitsForEntries([this, index] { jump(index); }) || !loaded() || index < 0 || index >= shownCount())
        return;
    setSelected(index);
    m_deps.counters.bumpCounter(QStringLiteral("jumps"));
    finish(true);
}

void Switcher::move(int delta)
{
    // Moves before any other key only set where the selection starts.
    if (isLoading() && m_kept.empty()) {
        m_pendingMoves += delta;
        return;
    }
    if (waitsForEntries([this, delta] { move(delta); }))
        return;
    const int n = shownCount();
    if (!loaded() || n == 0)
        return;
    setSelected(wrapIndex((long long)m_view.selected + delta, n));
    if (isVisible())
        redrawSelection();
    else
        show();  // a second Tab does not wait for the show delay
}

void Switcher::moveRow(int direction)
{
    if (waitsForEntries([this, direction] { moveRow(direction); }) || !loaded())
        return;
    const int next = m_view.selected + direction * gridColumns(m_view.previewMode);
    if (next < 0 || next >= shownCount())
        return;
    setSelected(next);
    redrawSelection();
}

void Switcher::hover(int index)
{
    if (!isVisible() || index == m_view.selected || index < 0 || index >= shownCount())
        return;
    setSelected(index);
    redrawSelection();
}

void Switcher::pick(int index)
{
    if (!loaded() || index < 0 || index >= shownCount())
        return;
    setSelected(index);
    m_deps.counters.bumpCounter(QStringLiteral("mousePicks"));
    finish(true);
}

void Switcher::finish(bool commit)
{
    if (!isOpen())
        return;
    if (isLoading() && commit) {
        m_commitWhenLoaded = true;
        return;
    }
    if (isLoading() && !m_kept.empty()) {
        // The keys typed before this cancel still act (w then Escape closes the window), on
        // entries built here and now; the cancel overrides a commit asked for before it.
        m_commitWhenLoaded = false;
        buildNow();
        if (!isOpen())
            return;
    }
    if (isLoading()) {
        ++m_gen;  // the pending build is now stale
        setState(RunState::closed);
        return;
    }
    if (commit && m_rankPending) {
        m_commitWhenRanked = true;
        return;
    }
    cancelShowTimer();
    const std::optional<Entry> entry = selectedEntry();
    ++m_gen;
    m_view.query.reset();
    m_notice.reset();
    // The request leaves before the keyboard is let go (closing ends the capture), or the window
    // manager would deal with the focus events of the ungrab first.
    if (commit && entry)
        m_deps.actions.activateEntry(*entry);
    setState(RunState::closed);
    if (commit && entry) {
        m_deps.counters.bumpCounter(QStringLiteral("switches"));
        m_deps.reminder.armUpdateNudge();
    }
    // The panels go away after the activation request has left (on X11 once the window manager
    // has answered it): unmapping them makes the server expose every window beneath, and the
    // window manager would redraw all of that before it got to the activation. A run shown
    // again meanwhile keeps its panel.
    Weak weak = m_self;
    m_deps.dispatcher.post([weak] {
        if (auto self = weak.lock(); self && !(*self)->isVisible())
            (*self)->m_deps.panels.hide();
    });
}

} // namespace zumo
