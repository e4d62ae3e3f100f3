// What the GNOME Shell extension tells about the desktop, read from its JSON: the windows most
// recently focused first, the monitors, the active workspace. Pure.
#pragma once

#include <QByteArray>
#include <QRect>
#include <vector>

#include "desktop/wayland/Toplevels.h"

namespace zumo::gnome {

struct ShellMonitor {
    QRect frame;
    QRect workArea;
};

struct ShellState {
    // Pid left 0: who owns a window is the app id's business (see ShellWindows).
    std::vector<wayland::Toplevel> windows;
    std::vector<ShellMonitor> monitors;
    int workspace = 0;
    // Grows with each change the extension saw; a report with a smaller one is older.
    double serial = 0;
};

// Entries without a positive id are dropped, missing facts take their defaults, and anything
// that is not the extension's JSON gives an empty state. An app id loses its ".desktop".
ShellState parseShellState(const QByteArray& json);

} // namespace zumo::gnome
