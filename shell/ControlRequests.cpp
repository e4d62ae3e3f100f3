// The control requests: answered on the main thread, entry lists built on a worker as the
// switcher builds them.
#include "shell/ControlRequests.h"

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
        return activate(request.window, std::move(respond));
    case ControlVerb::showSettings:
        return showSettings(std::move(respond));
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

void ControlRequests::activate(std::uint32_t window, ControlServer::Respond respond)
{
    buildEntries([this, window, respond = std::move(respond)](std::vector<Entry> entries) {
        for (const Entry& entry : entries) {
            if (entry.windowID == window && !entry.tab) {
                m_deps.actions.activateEntry(entry);
                respond(okReply());
                return;
            }
        }
        respond(errorReply(QStringLiteral("window 0x%1 is not among the switcher's windows").arg(window, 0, 16)));
    });
}

void ControlRequests::showSettings(ControlServer::Respond respond)
{
    appLog(QStringLiteral("a second launch asked to show the settings"));
    showSettingsRequested.notify();
    respond(okReply());
}

BuildOptions listBuildOptions(const Settings& settings)
{
    BuildOptions options;
    options.perWindow = settings.perWindow();
    options.tabs = settings.listTabs();
    options.spaces = settings.otherSpaces();
    return options;
}

std::vector<ListedRow> listedRows(const std::vector<Entry>& entries,
                                  const std::function<std::optional<std::uint32_t>(std::uint32_t)>& desktopOf)
{
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
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace zumo
