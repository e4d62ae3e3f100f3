// The desktop as zumo composes it for browser tabs (the X11 model and actions, the AT-SPI layer
// on a given session bus, the inventory and window actions), for the tab tests and benchmarks.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "inventory/DesktopActions.h"
#include "inventory/Inventory.h"
#include "desktop/atspi/AtspiParts.h"
#include "desktop/atspi/PartsOverlay.h"
#include "tests/fakes/FakeClock.h"
#include "desktop/x11/X11Accessibility.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Screens.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"
#include "desktop/x11/X11Workspace.h"

namespace zumo::e2e {

struct TabDesk {
    FakeClock clock;  // moved on by hand past the tab cache's lifetime
    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11WindowModel> model;
    std::unique_ptr<x11::X11Actions> actions;
    std::unique_ptr<x11::X11Workspace> workspace;
    std::unique_ptr<atspi::AtspiParts> parts;
    std::unique_ptr<x11::X11Accessibility> windows;
    std::unique_ptr<atspi::PartsOverlay> ax;
    std::unique_ptr<x11::X11WindowServer> windowServer;
    std::unique_ptr<x11::X11Screens> screens;
    std::unique_ptr<Inventory> inventory;
    std::unique_ptr<DesktopActions> desktopActions;

    // Opens the display ($DISPLAY); the AT-SPI layer looks for its bus on `sessionAddress`.
    bool open(const QString& sessionAddress, QString& why)
    {
        connection = x11::X11Connection::open(why);
        if (!connection)
            return false;
        model = std::make_unique<x11::X11WindowModel>(*connection);
        actions = std::make_unique<x11::X11Actions>(*model);
        workspace = std::make_unique<x11::X11Workspace>(*model, *actions);
        parts = std::make_unique<atspi::AtspiParts>(clock, TabCollector::maxAge, sessionAddress);
        windows = std::make_unique<x11::X11Accessibility>(*model, *actions);
        ax = std::make_unique<atspi::PartsOverlay>(*windows, *parts, [w = windows.get()](ElementRef e) { return w->facts(e); });
        windowServer = std::make_unique<x11::X11WindowServer>(*model, connection->displayName());
        screens = std::make_unique<x11::X11Screens>(*model);
        inventory = std::make_unique<Inventory>(*workspace, *ax, *windowServer, clock, InventoryPrefs{});
        desktopActions = std::make_unique<DesktopActions>(*inventory, *workspace, *ax, *windowServer, *screens,
                                                          [](const std::function<void()>& fn) { fn(); });
        return true;
    }

    // The rows of one application with tabs on (and previews, so that window numbers are
    // matched), built as a switcher opening does, after the tab cache has run out.
    std::vector<Entry> rowsOf(qint64 pid)
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
};

} // namespace zumo::e2e
