// Builds the switcher's rows from the workspace, the accessibility tree and the window list.
#include "inventory/Inventory.h"

#include <algorithm>
#include <iterator>

namespace zumo {

namespace {

const QString kSubrole = QStringLiteral("AXSubrole");

bool isListedSubrole(const std::optional<QString>& subrole)
{
    return subrole &&
           (*subrole == QLatin1String("AXStandardWindow") || *subrole == QLatin1String("AXDialog"));
}

const std::vector<WindowTabs>* noTabs()
{
    static const std::vector<WindowTabs> none;
    return &none;
}

} // namespace

// What every window of one application is built with.
struct Inventory::AppContext {
    const RunningApp& app;
    QImage icon;
    const std::vector<WindowRecord>& records;
    const std::vector<WindowTabs>& tabs;
};

Inventory::Inventory(Workspace& workspace, Accessibility& ax, WindowServer& windowServer, const Clock& clock,
                     InventoryPrefs prefs)
    : m_workspace(workspace), m_ax(ax), m_windowServer(windowServer), m_clock(clock), m_prefs(std::move(prefs)),
      m_tabs(ax, clock)
{
}

void Inventory::noteAppUsed(Pid pid)
{
    m_recency.noteAppUsed(pid);
}

std::vector<RunningApp> Inventory::switchableApps()
{
    const QString own = m_workspace.ownBundleId();
    const QMap<QString, QString> modes =
        m_prefs.appModes ? m_prefs.appModes().value_or(QMap<QString, QString>()) : QMap<QString, QString>();
    std::vector<RunningApp> kept;
    for (RunningApp& app : m_workspace.runningApplications())
        if (isSwitchable(app, own, modes))
            kept.push_back(std::move(app));
    return orderByRecency(std::move(kept), m_recency.recentPIDs());
}

bool Inventory::showWindowless() const
{
    return m_prefs.showWindowless && m_prefs.showWindowless();
}

std::vector<Entry> Inventory::buildEntries(const std::vector<RunningApp>& apps, const BuildOptions& options)
{
    const bool windowless = showWindowless();
    const bool needList = options.previews || (options.spaces && options.perWindow);
    const auto byOwner = needList ? recordsByOwner(m_windowServer.windowList())
                                  : std::unordered_map<Pid, std::vector<WindowRecord>>();
    static const std::vector<WindowRecord> noRecords;

    // One budget for every browser of the build: the panel waits for it.
    const double tabsUntil = m_clock.nowSeconds() + (options.tabsRemembered ? 0.0 : TabCollector::budget);
    std::vector<Entry> result;
    for (const RunningApp& app : apps) {
        if (options.onlyPID && *options.onlyPID != app.pid)
            continue;
        auto found = byOwner.find(app.pid);
        std::vector<Entry> rows =
            rowsOf(app, options, found == byOwner.end() ? noRecords : found->second, tabsUntil);
        if (rows.empty() && !windowless)
            continue;
        if (!options.perWindow || rows.empty()) {
            result.push_back(appRow(app, app.icon, rows));
            continue;
        }
        // Moved as a block: with thousands of windows, growing the list an entry at a time cost
        // more than all else the build does.
        if (result.empty())
            result = std::move(rows);
        else
            result.insert(result.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    }
    return result;
}

std::vector<Entry> Inventory::rowsOf(const RunningApp& app, const BuildOptions& options,
                                     const std::vector<WindowRecord>& records, double tabsUntil)
{
    const std::vector<ElementRef> windows =
        m_ax.windows(app.pid, appTimeout).value_or(std::vector<ElementRef>{});
    std::vector<WindowTabs> tabs;
    if (options.tabs && options.perWindow && isBrowser(app) && !windows.empty())
        tabs = m_tabs.collectTabs(app.pid, windows, tabsUntil);
    const AppContext context{app, app.icon, records, tabs.empty() ? *noTabs() : tabs};

    TakenNumbers taken;
    std::vector<Entry> rows;
    rows.reserve(windows.size());
    for (ElementRef window : windows)
        addWindowRows(context, window, taken, rows);
    if (options.spaces && options.perWindow)
        addOtherSpaceRows(context, taken, rows);
    return rows;
}

void Inventory::addWindowRows(const AppContext& context, ElementRef window, TakenNumbers& taken,
                              std::vector<Entry>& rows)
{
    if (!isListedSubrole(m_ax.string(window, kSubrole)))
        return;
    QString title = m_ax.string(window, QStringLiteral("AXTitle")).value_or(QString());
    if (title.isEmpty())
        title = context.app.name;
    Entry entry = makeEntry(context.app, title, context.icon);
    entry.window = window;
    entry.minimized = m_ax.boolean(window, QStringLiteral("AXMinimized")).value_or(false);
    entry.windowID = windowNumberOf(context, window, taken);

    auto pair = std::find_if(context.tabs.begin(), context.tabs.end(),
                             [window](const WindowTabs& p) { return p.first == window; });
    if (pair != context.tabs.end() && pair->second.size() >= 2)
        addTabRows(entry, pair->second, rows);
    else
        rows.push_back(std::move(entry));
}

// By the number the platform knows for the window; failing that, by its frame, which two windows
// of the same size (on different desktops, say) share.
std::optional<std::uint32_t> Inventory::windowNumberOf(const AppContext& context, ElementRef window,
                                                       TakenNumbers& taken)
{
    if (std::optional<std::uint32_t> number = m_ax.windowNumber(window)) {
        taken.insert(*number);
        return number;
    }
    if (context.records.empty())
        return std::nullopt;
    std::optional<QRectF> frame = m_ax.frame(window);
    return frame ? takeWindowNumber(context.records, *frame, taken) : std::nullopt;
}

void Inventory::addTabRows(const Entry& windowEntry, const std::vector<TabRef>& tabs, std::vector<Entry>& rows)
{
    for (const TabRef& tab : tabs) {
        Entry row = makeEntry(windowEntry.app, tab.title, windowEntry.icon);
        row.window = windowEntry.window;
        row.minimized = windowEntry.minimized;
        row.tab = tab.element;
        row.windowTitle = windowEntry.title;
        if (tab.selected)
            row.windowID = windowEntry.windowID;
        rows.push_back(std::move(row));
    }
}

void Inventory::addOtherSpaceRows(const AppContext& context, TakenNumbers& taken, std::vector<Entry>& rows) const
{
    for (const WindowRecord& record : context.records) {
        if (!isOtherSpaceWindow(record, taken))
            continue;
        const QString name = record.name.value_or(QString());
        Entry row = makeEntry(context.app, name.isEmpty() ? context.app.name : name, context.icon);
        row.windowID = windowNumber(record.number);
        row.otherSpace = true;
        // Where the platform can name the window, the row brings that very window forward.
        row.window = m_ax.windowOfNumber(*row.windowID);
        // A number listed twice is still one window.
        taken.insert(*row.windowID);
        rows.push_back(std::move(row));
    }
}

} // namespace zumo
