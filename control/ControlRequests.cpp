// The control requests: answered on the main thread, entry lists built on a worker as the
// switcher builds them.
#include "control/ControlRequests.h"

#include <map>

#include "inventory/WindowInventory.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Workspace.h"
#include "settings/Settings.h"

namespace zumo {

ControlRequests::ControlRequests(ControlDeps deps) : m_deps(std::move(deps)), m_self(std::make_shared<ControlRequests*>(this)) {}

ControlRequests::~ControlRequests() = default;

void ControlRequests::handle(const ControlRequest& request, ControlServer::Respond respond)
{
    switch (request.verb) {
    case ControlVerb::sync:
        return sync(std::move(respond));
    case ControlVerb::list:
        return list(std::move(respond));
    case ControlVerb::activate:
        return activate(request, std::move(respond));
    case ControlVerb::showSettings:
        return showSettings(std::move(respond));
    case ControlVerb::next:
    case ControlVerb::prev:
        return trigger(request.verb == ControlVerb::prev, request.keys, std::move(respond));
    case ControlVerb::checkUpdates:
        if (m_deps.mayCheckUpdates && !m_deps.mayCheckUpdates()) {
            checkUpdatesRequested.notify();  // brings the consent question to the front
            return respond(errorReply(QStringLiteral(
                "Zumo checks for updates only once you agree in its consent window; nothing was sent.")));
        }
        // The check answers on its own, with alerts; the client only learns that it started.
        checkUpdatesRequested.notify();
        return respond(okReply());
    }
}

// Everything the X server sent before the request is read and handled by the round trip;
// the answer then waits behind every task already queued on the main thread.
void ControlRequests::sync(ControlServer::Respond respond)
{
    if (m_deps.syncPlatform)
        m_deps.syncPlatform();
    m_deps.dispatcher.post([respond = std::move(respond)] { respond(okReply()); });
}

void ControlRequests::buildEntries(std::function<void(std::vector<Entry>)> done)
{
    const std::optional<RunningApp> front = m_deps.workspace.frontmostApplication();
    if (front && front->bundleId != m_deps.workspace.ownBundleId())
        m_deps.inventory.noteAppUsed(front->pid);
    std::weak_ptr<ControlRequests*> weak = m_self;
    WindowInventory* inventory = &m_deps.inventory;
    Dispatcher* dispatcher = &m_deps.dispatcher;
    m_deps.dispatcher.background(
        Quality::UserInteractive,
        [weak, inventory, dispatcher, apps = m_deps.inventory.switchableApps(),
         options = listBuildOptions(m_deps.settings), done = std::move(done)]() mutable {
            std::vector<Entry> entries = inventory->buildEntries(apps, options);
            dispatcher->post([weak, entries = std::move(entries), done = std::move(done)]() mutable {
                if (!weak.expired())
                    done(std::move(entries));
            });
        });
}

void ControlRequests::list(ControlServer::Respond respond)
{
    buildEntries([this, respond = std::move(respond)](std::vector<Entry> entries) {
        QByteArray body;
        for (const ListedRow& row : listedRows(entries, m_deps.desktopOf))
            body += listLine(row);
        respond(okReply(body));
    });
}

void ControlRequests::activate(const ControlRequest& request, ControlServer::Respond respond)
{
    buildEntries([this, request, respond = std::move(respond)](std::vector<Entry> entries) {
        if (std::optional<std::size_t> found = activatedEntry(entries, request.window, request.tab)) {
            m_deps.actions.activateEntry(entries[*found]);
            return respond(okReply());
        }
        const QString window = QStringLiteral("0x%1").arg(request.window, 0, 16);
        respond(errorReply(request.tab ? QStringLiteral("window %1 has no tab %2 among the switcher's rows")
                                             .arg(window).arg(request.tab)
                                       : QStringLiteral("window %1 is not among the switcher's windows").arg(window)));
    });
}

void ControlRequests::showSettings(ControlServer::Respond respond)
{
    appLog(QStringLiteral("a second launch asked to show the settings"));
    showSettingsRequested.notify();
    respond(okReply());
}

void ControlRequests::trigger(bool reverse, const HookShortcut& keys, ControlServer::Respond respond)
{
    if (!m_deps.trigger)
        return respond(errorReply(QStringLiteral("on X11 Zumo watches its shortcut itself; next and prev are for "
                                                 "a Wayland compositor's key binding")));
    if (!m_deps.trigger(reverse, keys))
        return respond(errorReply(QStringLiteral("the switcher is off; turn it on from Zumo's menu")));
    respond(okReply());
}

BuildOptions listBuildOptions(const Settings& settings)
{
    BuildOptions options;
    options.perWindow = settings.perWindow();
    options.tabs = settings.listTabs();
    options.spaces = settings.otherSpaces();
    options.previews = true;
    return options;
}

namespace {

// The window number of each window listed as tabs: the inventory gives it to the selected tab's
// row only, so the others take it from there.
std::map<ElementRef, std::uint32_t> tabWindowNumbers(const std::vector<Entry>& entries)
{
    std::map<ElementRef, std::uint32_t> numbers;
    for (const Entry& entry : entries)
        if (entry.tab && entry.window && entry.windowID)
            numbers[*entry.window] = *entry.windowID;
    return numbers;
}

QString iconSourceName(const Entry& entry)
{
    if (entry.icon.isNull())
        return QStringLiteral("letter");
    switch (entry.app.iconSource) {
    case IconSource::theme: return QStringLiteral("theme");
    case IconSource::hints: return QStringLiteral("hints");
    case IconSource::window: break;
    }
    return QStringLiteral("window");
}

} // namespace

std::vector<ListedRow> listedRows(const std::vector<Entry>& entries,
                                  const std::function<std::optional<std::uint32_t>(std::uint32_t)>& desktopOf)
{
    const std::map<ElementRef, std::uint32_t> tabWindows = tabWindowNumbers(entries);
    std::map<ElementRef, int> tabsSeen;
    std::vector<ListedRow> rows;
    rows.reserve(entries.size());
    for (const Entry& entry : entries) {
        ListedRow row;
        row.row = int(rows.size()) + 1;
        row.window = entry.windowID;
        row.app = entry.app.name.isEmpty() ? entry.app.bundleId : entry.app.name;
        row.bundleId = entry.app.bundleId;
        row.title = entry.title;
        if (entry.windowID && desktopOf)
            row.desktop = desktopOf(*entry.windowID);
        row.minimized = entry.minimized;
        row.icon = iconSourceName(entry);
        if (entry.tab) {
            row.tab.emplace();
            row.tab->selected = entry.windowID.has_value();
            row.tab->number = ++tabsSeen[entry.window.value_or(0)];
            if (auto it = entry.window ? tabWindows.find(*entry.window) : tabWindows.end(); it != tabWindows.end())
                row.tab->window = it->second;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// Of a window listed as tabs, the selected tab's row carries the window's number, so the window
// alone brings it forward with the tab it shows.
std::optional<std::size_t> activatedEntry(const std::vector<Entry>& entries, std::uint32_t window, int tab)
{
    const std::vector<ListedRow> rows = listedRows(entries, {});
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ListedRow& row = rows[i];
        if (tab ? row.tab && row.tab->window == window && row.tab->number == tab : row.window == window)
            return i;
    }
    return std::nullopt;
}

} // namespace zumo
