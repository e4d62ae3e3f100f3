// Composing the tab desk.
#include "tests/e2e/TabDesk.h"

#include <QCoreApplication>

namespace zumo::e2e {

using namespace zumo::x11;

bool TabDesk::open(const QString& sessionAddress, QString& why)
{
    connection = X11Connection::open(why);
    if (!connection)
        return false;
    model = std::make_unique<X11WindowModel>(*connection);
    actions = std::make_unique<X11Actions>(*model);
    workspace = std::make_unique<X11Workspace>(*model, *actions);
    parts = std::make_unique<atspi::AtspiParts>(clock, TabCollector::maxAge, sessionAddress);
    ax = std::make_unique<X11Accessibility>(*model, *actions, parts.get());
    windowServer = std::make_unique<X11WindowServer>(*model, connection->displayName());
    screens = std::make_unique<X11Screens>(*model);
    inventory = std::make_unique<Inventory>(*workspace, *ax, *windowServer, clock, InventoryPrefs{});
    desktopActions = std::make_unique<DesktopActions>(*inventory, *workspace, *ax, *windowServer, *screens,
                                                      [](const std::function<void()>& fn) { fn(); });
    return true;
}

std::vector<Entry> TabDesk::rowsOf(qint64 pid)
{
    clock.advance(TabCollector::maxAge + 0.5);
    BuildOptions options;
    options.tabs = true;
    options.previews = true;
    std::vector<Entry> rows;
    for (Entry& entry : inventory->buildEntries(workspace->runningApplications(), options))
        if (entry.app.pid == Pid(pid))
            rows.push_back(std::move(entry));
    return rows;
}

} // namespace zumo::e2e
