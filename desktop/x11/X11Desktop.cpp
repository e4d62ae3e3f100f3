// Builds the X11 desktop bundle in dependency order.
#include "desktop/x11/X11Desktop.h"

#include <QGuiApplication>

namespace zumo {

using namespace x11;

namespace {

// Every window this program makes is created on Qt's connection, and X gives each connection
// ids from a range of its own; a pid is only what a client claims.
X11WindowModel::OwnWindows qtWindows()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    const xcb_setup_t* setup = xcb_get_setup(c);
    return [base = setup->resource_id_base, mask = setup->resource_id_mask](std::uint32_t window) {
        return (window & ~mask) == base;
    };
}

} // namespace

std::unique_ptr<X11Desktop> X11Desktop::open(Dispatcher& dispatcher, QString& error)
{
    auto desktop = std::make_unique<X11Desktop>();
    X11Desktop& d = *desktop;
    d.connection = X11Connection::open(error);
    if (!d.connection)
        return nullptr;
    d.model = std::make_unique<X11WindowModel>(*d.connection, qtWindows());
    d.actions = std::make_unique<X11Actions>(*d.model);
    d.workspace = std::make_unique<X11Workspace>(*d.model, *d.actions);
    d.accessibility = std::make_unique<X11Accessibility>(*d.model, *d.actions);
    d.windowServer = std::make_unique<X11WindowServer>(*d.model, d.connection->displayName());
    d.screens = std::make_unique<X11Screens>(*d.model);
    d.permissions = std::make_unique<X11Permissions>(d.connection.get());
    d.hook = std::make_unique<X11KeyboardHook>(dispatcher, d.connection->displayName());
    d.qtInput = std::make_unique<QtInputTimes>();
    // The key and the focus change before it come on two connections, read in no fixed order:
    // a round trip on the model's makes sure the window the user just focused counts as the front.
    d.hook->setBeforeShortcut([connection = d.connection.get()] { connection->roundTrip(); });
    // A keyboard grab while the window manager is still moving the focus for the previous
    // switch makes openbox lose track of it (two quick Alt+Tabs then ended on the wrong window,
    // or on none): the keyboard is taken once that switch is answered, 300 ms at the most (a
    // loaded machine kept openbox from answering within 100 ms). Only a window manager that
    // ignores a request makes the next run wait that long. The Alt release meanwhile is found
    // in the keymap when the grab is made.
    d.hook->setCaptureGate([actions = d.actions.get()](std::function<void()> go) {
        actions->afterAnswered(std::move(go), std::chrono::milliseconds(300));
    });
    // An activation carries the time of the key (the hook's) or the click (on the panel, Qt's)
    // that caused it.
    d.actions->setInputStamps([hook = d.hook.get(), qt = d.qtInput.get()] {
        return std::vector<std::optional<InputStamp>>{hook->lastInput(), qt->last()};
    });
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
