// The decisions about the session that need no connection: which backend a session gets, what
// a compositor without the needed protocols means for the user, and the binding lines to paste.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zumo::wayland {

enum class Backend { x11, wayland };

// ZUMO_BACKEND ("x11" or "wayland") wins; else Wayland when WAYLAND_DISPLAY is set and the
// session says it is Wayland (XDG_SESSION_TYPE) or there is no X11 DISPLAY; else X11.
Backend chooseBackend(const QByteArray& forced, const QByteArray& waylandDisplay, const QByteArray& sessionType,
                      const QByteArray& x11Display);

// Nothing when both a window list (foreign-toplevel, or KWin's script) and the layer shell are
// there; else what is missing, what it means on the desktop named by XDG_CURRENT_DESKTOP, and
// what the user can do.
std::optional<QString> missingProtocolsMessage(bool toplevels, bool layerShell, const QString& currentDesktop);

// The configuration lines that start Zumo at login and make the compositor's Alt+Tab reach it,
// for "sway", "wayfire", "labwc", "hyprland" or "river"; nothing for another name.
std::optional<QString> bindingLines(const QString& compositor);

} // namespace zumo::wayland
