// One switcher run at a time: opened by a shortcut, entries built in the background, the panel
// shown after a short delay, selection moves, search and commands, and the switch on commit.
#pragma once

#include <QImage>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/Listeners.h"
#include "platform/Screens.h"
#include "platform/Workspace.h"
#include "inventory/Entry.h"
#include "settings/Slots.h"
#include "switcher/RunPanels.h"
#include "switcher/RunView.h"

namespace zumo {

class Counters;
class Permissions;
struct RunSearch;
class Settings;
class UpdateReminder;
class WindowActions;
class WindowInventory;

// Everything a Switcher talks to; each must outlive it.
struct SwitcherDeps {
    const Settings& settings;
    Counters& counters;
    Dispatcher& dispatcher;
    Workspace& workspace;
    Screens& screens;
    Permissions& permissions;
    WindowInventory& inventory;
    WindowActions& actions;
    UpdateReminder& reminder;
    RunPanels& panels;
};

// A built entry list on its way back to the main thread.
struct LoadedEntries {
    std::uint64_t gen = 0;  // the run it was built for
    std::vector<Entry> entries;
    bool previewsAllowed = false;
    bool hasFrontApp = false;
    Pid frontPid = 0;
    bool backward = false;
};

// One run moves through the states closed -> loading -> loadedHidden -> shown -> closed:
//   loading       entries are being built; a commit now only sets commitWhenLoaded, moves add
//                 up in pendingMoves, every other key's verb is kept and carried out in order
//                 once the entries are in (the keyboard is the user's long before they are)
//   loadedHidden  entries are in, the show timer is pending
//   shown         the panel is up; search mode (a query in the content) and commands live here
// loadedHidden and shown also end by finish; an empty list or a cancel ends loading at once.
// Every open and every finish raises gen; a background result carries the gen (or, for search
// results, the filterGen) it was started under and is dropped when that is no longer current,
// when the run is over, or when the Switcher is gone. The Switcher owns what the run shows (a
// RunView) and hands it to the panels; they only draw it. Main thread only.
class Switcher {
public:
    enum class RunState { closed, loading, loadedHidden, shown };

    explicit Switcher(SwitcherDeps deps);
    ~Switcher();
    Switcher(const Switcher&) = delete;
    Switcher& operator=(const Switcher&) = delete;

    // Builds what a run would show now and has the panels ready themselves for it; nothing shows.
    // Called once at start: the first run then finds its panel sized and its glyphs drawn.
    void prepare();
    // Starts a run. Ignored while a run is open. backward preselects from the end.
    void open(bool backward, SlotFilter filter);
    // Ends the run; with commit the selected entry is brought to the front. While loading, a
    // commit is remembered and carried out when the entries arrive (the panel never shows);
    // a cancel ends the run at once and makes the pending build stale. Ignored when closed.
    void finish(bool commit);
    // Moves the selection by delta with wrap-around; while loading the move is counted and
    // applied on arrival. Shows the panel at once if it is not yet shown.
    void move(int delta);
    // Moves one row up (-1) or down (+1); no wrap, ignored at the edges.
    void moveRow(int direction);
    // Pointer on tile index (ignored while loading or before the panel shows).
    void hover(int index);
    // Tile index clicked: selects it and commits (ignored while loading or out of range).
    void pick(int index);
    // Selects index of the shown entries; ignored when out of range.
    void select(int index);
    // Selects index and commits (a digit key); ignored when out of range.
    void jump(int index);

    // Search, driven by these verbs only. After each the entries
    // matching the trimmed query (all of them for an empty one) are shown with the first
    // selected; non-empty queries are scored in the background.
    // Enters search mode with an empty query.
    void beginSearch();
    // Appends text to the query. This and the two below are ignored outside search mode.
    void typeText(const QString& text);
    // Drops the last character; on an empty query leaves search mode.
    void backspace();
    // Leaves search mode: the full list returns with the first entry selected.
    void leaveSearch();

    // Commands on the selected entry; each is ignored without a selection.
    void quitSelected();
    void closeSelected();
    void minimizeSelected();
    void hideSelected();
    void snapSelected(SnapTo target);

    // Lays out the panel (and mirrors) for the current content and shows it. Ignored unless the
    // entries are in; does nothing without a display (the run stays open and can still commit).
    void show();
    // The displays to show on: the pointer's (or first of the system list) first.
    std::vector<Screen> targetScreens() const;
    // The shown entry at the selected index; nothing when out of range.
    std::optional<Entry> selectedEntry() const;

    // Results arriving on the main thread (public so the dispatcher's closures can reach them).
    void entriesLoaded(LoadedEntries loaded);
    void searchRanked(std::uint64_t filterGen, const std::vector<EntryId>& ranked);
    void previewCaptured(std::uint64_t gen, EntryId id, const QImage& image);

    // State, for the key handler and tests.
    RunState state() const { return m_state; }
    bool isOpen() const { return m_state != RunState::closed; }
    bool isVisible() const { return m_state == RunState::shown; }
    bool isLoading() const { return m_state == RunState::loading; }
    bool isSearching() const { return m_view.query.has_value(); }
    bool commitWhenLoaded() const { return m_commitWhenLoaded; }
    // The user has released the trigger and only the entries are awaited: for the keys the run
    // is over, and a new press of a shortcut opens the next run (see open).
    bool isCommitPending() const { return isLoading() && m_commitWhenLoaded; }
    // Carries out a pending commit now, from entries built at once, instead of when the
    // background build answers: the next run, or a sync, must not find it still waiting.
    void landPendingCommit();
    int pendingMoves() const { return m_pendingMoves; }
    // What the run shows: entries, selection, query, hint, mode and rows.
    const RunView& content() const { return m_view; }
    const std::optional<QString>& notice() const { return m_notice; }
    std::uint64_t gen() const { return m_gen; }
    std::uint64_t filterGen() const { return m_filterGen; }
    const std::vector<Entry>& allEntries() const { return m_allEntries; }
    bool showTimerPending() const { return m_showTimer.has_value(); }

    // Told true when a run opens and false when it ends.
    Notifier<bool> openChanged;

private:
    using Weak = std::weak_ptr<Switcher*>;

    bool loaded() const { return m_state == RunState::loadedHidden || m_state == RunState::shown; }
    void setState(RunState state);
    void startBuild(bool backward, SlotFilter filter);
    void buildNow();
    BuildOptions buildOptions(SlotFilter filter, const std::optional<RunningApp>& front) const;
    void fitRows(RunView& view, const Screen& target) const;
    void captureShown(const RunView& view);
    void startShowTimer();
    void cancelShowTimer();
    void refilter();
    void setShown(std::vector<Entry> entries);
    void setSelected(int index);
    void removeEntries(const std::function<bool(const Entry&)>& match);
    void setMinimized(EntryId id);
    void redraw();
    void redrawSelection();
    bool waitsForEntries(std::function<void()> verb);
    bool replayKept(std::vector<std::function<void()>> kept);
    void queryEdited();
    int shownCount() const;

    SwitcherDeps m_deps;
    RunState m_state = RunState::closed;
    RunView m_view;  // what the panels draw
    std::uint64_t m_filterGen = 0;
    std::optional<Dispatcher::TimerId> m_showTimer;
    bool m_commitWhenLoaded = false;  // meaningful while loading
    // A search's ranking is out on a worker; a commit asked for meanwhile waits for it, so a
    // release right after the typing chooses the best match and not the row shown before.
    bool m_rankPending = false;
    bool m_commitWhenRanked = false;
    // What the loading run's entries are being built from, so they can be built at once.
    struct BuildRequest {
        std::vector<RunningApp> apps;
        BuildOptions options;
        SlotFilter filter = SlotFilter::all;
        LoadedEntries loaded;
    };
    std::optional<BuildRequest> m_building;
    int m_pendingMoves = 0;
    // Verbs of keys typed while loading, after the first that is not a move; the query is edited
    // at once all the same, so the keys that follow a "/" are read as typing.
    std::vector<std::function<void()>> m_kept;
    std::uint64_t m_gen = 0;
    // No process activity token: Linux has no App Nap to hold off while a run is open.
    std::vector<Entry> m_allEntries;
    // The entries' texts ready for searching, made once as this run's search first begins.
    std::shared_ptr<const RunSearch> m_search;
    std::unordered_set<EntryId> m_captureRequested;  // this run's entries with a capture asked for
    int m_rowsThatFit = 0;                            // at the last show; 0 before the first
    // The panels hold this run's content as it is now, apart from the selection and first row.
    bool m_panelsCurrent = false;
    static constexpr int DefaultCaptureRows = 6;
    std::optional<QString> m_notice;
    std::vector<Subscription> m_panelInput;  // hover, pick and scroll from the panels
    // The lifetime token every handed-out closure holds weakly.
    std::shared_ptr<Switcher*> m_self;
    Subscription m_screensChanged;
};

// Pure rules of a run.

// Where the selection starts in a fresh list of n entries (n > 0).
int startIndex(int n, bool backward, std::optional<Pid> frontPid, Pid firstEntryPid);
// index wrapped into 0...n-1 (n > 0), for any integer including negative ones.
int wrapIndex(long long index, int n);
// The entries a filter keeps: minimized keeps minimised ones, currentSpace those on this
// desktop, tabs the tab rows; all and currentApp keep everything.
std::vector<Entry> keepForFilter(std::vector<Entry> entries, SlotFilter filter);
// The hint line: the search help while searching, else the notice, else the key help when
// hints are on, else none.
std::optional<QString> hintLine(bool searching, const std::optional<QString>& notice, bool showHints);
// Indices into screens to show on, for a "displayMode" (0 pointer, 1 first, 2 all with the
// pointer's first). The pointer screen is the first containing the pointer, else main, else 0.
std::vector<int> targetScreenIndices(const std::vector<Screen>& screens, std::optional<int> mainScreen,
                                     QPointF pointer, int displayMode);

// Keys by the names printed on them here, never as another system's key signs.
inline constexpr char SearchHint[] = "Type to filter    Return switch    Esc back";
inline constexpr char KeyHint[] =
    "Tab move   1–9 jump   Q quit   W close   M min   H hide   L R T B F C snap   / search";
inline constexpr char TabCloseNotice[] = "Tabs can't be closed here.";
inline constexpr char SnapUnavailableNotice[] = "Snapping is not available on this desktop.";

} // namespace zumo
