// Drawing one of this program's own windows whole while it is off the screen.
#pragma once

#include <cstdint>
#include <functional>

namespace zumo::x11 {

// Turns whole drawing on (true) or off (false) for a window made on Qt's connection.
using DrawOffscreen = std::function<void(std::uint32_t window, bool on)>;

// Without a compositor the X server copies into a window only the part on the screen, so a frame
// drawn off-screen leaves the window's shared image memory unread by the server, and the first
// frame shown pays for mapping it in: several milliseconds for a large panel. A window redirected
// (and composited by nobody, so never seen) takes the whole frame wherever it is.
// Null where the server lacks the Composite extension or Qt does not run on X11. Main thread.
DrawOffscreen offscreenDrawing();

} // namespace zumo::x11
