// Everything the program needs of an X11 desktop, opened together: the seam's workspace,
// accessibility, window server, screens and permissions over one event-driven window model.
#pragma once

#include <QString>
#include <memory>

#include "platform/x11/X11Accessibility.h"
#include "platform/x11/X11Actions.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Permissions.h"
#include "platform/x11/X11Screens.h"
#include "platform/x11/X11WindowModel.h"
#include "platform/x11/X11WindowServer.h"
#include "platform/x11/X11Workspace.h"

namespace zumo::x11 {

class X11Desktop {
public:
    // Opens $DISPLAY and loads the window model. Null with `error` set (a sentence for the user)
    // when there is no usable X11 display. Main thread, after the Qt application exists.
    static std::unique_ptr<X11Desktop> open(QString& error);

    X11Connection& connection() { return *m_connection; }
    X11WindowModel& model() { return *m_model; }
    X11Actions& actions() { return *m_actions; }
    X11Workspace& workspace() { return *m_workspace; }
    X11Accessibility& accessibility() { return *m_accessibility; }
    X11WindowServer& windowServer() { return *m_windowServer; }
    X11Screens& screens() { return *m_screens; }
    X11Permissions& permissions() { return *m_permissions; }

private:
    X11Desktop() = default;

    // Declared in dependency order, so they are destroyed users first.
    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11WindowModel> m_model;
    std::unique_ptr<X11Actions> m_actions;
    std::unique_ptr<X11Workspace> m_workspace;
    std::unique_ptr<X11Accessibility> m_accessibility;
    std::unique_ptr<X11WindowServer> m_windowServer;
    std::unique_ptr<X11Screens> m_screens;
    std::unique_ptr<X11Permissions> m_permissions;
};

} // namespace zumo::x11
