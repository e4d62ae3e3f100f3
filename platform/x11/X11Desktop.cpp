// Opening the X11 desktop backend as one unit.
#include "platform/x11/X11Desktop.h"

#include <QCoreApplication>

namespace zumo::x11 {

std::unique_ptr<X11Desktop> X11Desktop::open(QString& error)
{
    std::unique_ptr<X11Desktop> desktop(new X11Desktop);
    desktop->m_connection = X11Connection::open(error);
    if (!desktop->m_connection)
        return nullptr;
    desktop->m_model =
        std::make_unique<X11WindowModel>(*desktop->m_connection, Pid(QCoreApplication::applicationPid()));
    desktop->m_actions = std::make_unique<X11Actions>(*desktop->m_model);
    desktop->m_workspace = std::make_unique<X11Workspace>(*desktop->m_model, *desktop->m_actions);
    desktop->m_accessibility = std::make_unique<X11Accessibility>(*desktop->m_model, *desktop->m_actions);
    desktop->m_windowServer =
        std::make_unique<X11WindowServer>(*desktop->m_model, desktop->m_connection->displayName());
    desktop->m_screens = std::make_unique<X11Screens>(*desktop->m_model);
    desktop->m_permissions = std::make_unique<X11Permissions>(desktop->m_connection.get());
    return desktop;
}

} // namespace zumo::x11
