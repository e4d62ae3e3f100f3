// What the switcher panel's native window needs from X11 that Qt has no word for.
#pragma once

#include <cstdint>
#include <functional>

namespace zumo::x11 {

// Turns a state of a window made on Qt's connection on (true) or off.
using WindowSwitch = std::function<void(std::uint32_t window, bool on)>;

struct PanelWindowControl {
    // Without a compositor the X server copies into a window only the part on the screen, so a
    // frame drawn off-screen leaves the window's shared image memory unread by the server, and
    // the first frame shown pays for mapping it in: several milliseconds for a large panel. A
    // window redirected (and composited by nobody, so never seen) takes the whole frame
    // wherever it is.
    WindowSwitch drawOffscreen;
    // A window mapped under the pointer makes the X server work out the pointer's crossings
    // (and draw its cursor anew) and Qt ask after the pointer devices, all before the first
    // frame: most of a millisecond with a few hundred windows. A window that lets the pointer
    // through (an empty input shape) costs none of that.
    WindowSwitch passPointer;
    // Painted and copied to the screen once when it appears, not again for the server's own
    // exposes of the same map (see MapExposes).
    WindowSwitch paintOnceAtMap;
};

// Each member is null where Qt does not run on X11, the first two also where the server lacks
// their extension (Composite, SHAPE). Requests go out on Qt's connection, in order with Qt's own
// for the window. Main thread.
PanelWindowControl panelWindowControl();

} // namespace zumo::x11
