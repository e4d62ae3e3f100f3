// The parts inside other applications' windows (widgets, browser tabs), reached through an
// accessibility tree that the window system itself does not keep.
#pragma once

#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "platform/Accessibility.h"

namespace zumo {

// A part's element has the top bit set, so it can never be taken for a window id (X11 ids are
// 32 bits): an action meant for a tab can never land on its window.
constexpr ElementRef partElementTag = ElementRef(1) << 63;
constexpr bool isPartElement(ElementRef element)
{
    return (element & partElementTag) != 0;
}

// What the window system knows of a window, enough to find it in another tree.
struct WindowFacts {
    Pid pid = 0;
    QString title;
    QRectF client;  // the window's own area, in screen coordinates
    QRectF frame;   // the same with the window manager's decoration
};

// Answers the attribute reads and actions of Accessibility for part elements only (any other
// element yields nothing), and the top-level parts of a window. Any thread.
class WindowParts : public Accessibility {
public:
    // The children of the window's top-level part; nothing when the application publishes no tree,
    // no part matches the window, or the application does not answer in time.
    virtual std::optional<std::vector<ElementRef>> windowChildren(const WindowFacts& window) = 0;
};

} // namespace zumo
