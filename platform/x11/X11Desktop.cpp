// Builds the X11 desktop bundle in dependency order.
#include "platform/x11/X11Desktop.h"

namespace zumo {

using namespace x11;

std::unique_ptr<X11Desktop> X11Desktop::open(Dispatcher& dispatcher, Pid ownPid, WindowParts* parts,
                                             QString& error)
{
    auto desktop = std::make_unique<X11Desktop>();
    X11Desktop& d = *desktop;
    d.connection = X11Connection::open(error);
    if (!d.connection)
        return nullptr;
    d.model = std::make_unique<X11WindowModel>(*d.connection, ownPid);
    d.actions = std::make_unique<X11Actions>(*d.model);
    d.workspace = std::make_unique<X11Workspace>(*d.model, *d.actions);
    d.accessibility = std::make_unique<X11Accessibility>(*d.model, *d.actions, parts);
    d.windowServer = std::make_unique<X11WindowServer>(*d.model, d.connection->displayName());
    d.screens = std::make_unique<X11Screens>(*d.model);
    d.permissions = std::make_unique<X11Permissions>(d.connection.get());
    d.hook = std::make_unique<X11KeyboardHook>(dispatcher, d.connection->displayName());
    return desktop;
}

void X11Desktop::sync()
{
    connection->roundTrip();
    hook->sync();
}

std::optional<std::uint32_t> X11Desktop::desktopOf(std::uint32_t window) const
{
    const auto snapshot = model->snapshot();
    const X11Window* found = snapshot->find(window);
    if (!found || !found->desktop || *found->desktop == 0xffffffffu)
        return std::nullopt;
    return found->desktop;
}

} // namespace zumo
