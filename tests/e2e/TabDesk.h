// The desktop as zumo composes it for browser tabs (the X11 model and actions, the AT-SPI layer
// on a given session bus, the inventory and window actions), for the tab tests and benchmarks.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "inventory/DesktopActions.h"
#include "inventory/Inventory.h"
#include "desktop/atspi/AtspiParts.h"
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
    std::unique_ptr<x11::X11Accessibility> ax;
    std::unique_ptr<x11::X11WindowServer> windowServer;
    std::unique_ptr<x11::X11Screens> screens;
    std::unique_ptr<Inventory> inventory;
    std::unique_ptr<DesktopActions> desktopActions;

    // Opens the display ($DISPLAY); the AT-SPI layer looks for its bus on `sessionAddress`.
    bool open(const QString& sessionAddress, QString& why);
    // The rows of one application with tabs on (and previews, so that window numbers are
    // matched), built as a switcher opening does, after the tab cache has run out.
    std::vector<Entry> rowsOf(qint64 pid);
};

} // namespace zumo::e2e
