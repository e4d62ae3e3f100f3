// The X11 desktop as one bundle: the connection, the window model kept current by its events,
// and every platform interface the application composes, built in dependency order.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/Workspace.h"
#include "desktop/x11/X11Accessibility.h"
#include "desktop/x11/X11Actions.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11KeyboardHook.h"
#include "desktop/x11/X11Permissions.h"
#include "desktop/x11/X11Screens.h"
#include "desktop/x11/X11WindowModel.h"
#include "desktop/x11/X11WindowServer.h"
#include "desktop/x11/X11Workspace.h"

namespace zumo {

class Dispatcher;

// Members are declared in dependency order and destroyed in reverse, so nothing outlives what
// it uses. Main thread.
struct X11Desktop {
    // Connects to $DISPLAY and builds every part; the keyboard hook connects when it is created.
    // On failure returns null and sets error to a sentence the user can act on. The windows of
    // Qt's own X connection (this program's) are left out of the model. The dispatcher must
    // outlive the bundle.
    static std::unique_ptr<X11Desktop> open(Dispatcher& dispatcher, QString& error);

    // Returns once every event the X server sent before the call has been handled (one round trip
    // on each connection, then the events it brought in).
    void sync();
    // The desktop a window is on; nothing for a window on all desktops or one not known.
    std::optional<std::uint32_t> desktopOf(std::uint32_t window) const;

    std::unique_ptr<x11::X11Connection> connection;
    std::unique_ptr<x11::X11WindowModel> model;
    std::unique_ptr<x11::X11Actions> actions;
    std::unique_ptr<x11::X11Workspace> workspace;
    std::unique_ptr<x11::X11Accessibility> accessibility;
    std::unique_ptr<x11::X11WindowServer> windowServer;
    std::unique_ptr<x11::X11Screens> screens;
    std::unique_ptr<x11::X11Permissions> permissions;
    std::unique_ptr<X11KeyboardHook> hook;
    std::unique_ptr<x11::QtInputTimes> qtInput;  // clicks on this program's own windows
};

} // namespace zumo
