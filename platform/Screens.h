// The displays, in one global coordinate space whose origin is the top-left corner of the
// primary display, y growing downwards (the space window frames are given in).
#pragma once

#include <QPointF>
#include <QRectF>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Listeners.h"

namespace zumo {

struct Screen {
    QRectF frame;         // the whole display
    QRectF visibleFrame;  // without panels and docks (the work area)
};

class Screens {
public:
    virtual ~Screens() = default;
    // In system order, the primary display first. Empty when there is no display.
    virtual std::vector<Screen> screens() const = 0;
    // Index of the display with the keyboard focus ("main"), if any.
    virtual std::optional<int> mainScreen() const = 0;
    virtual QPointF pointerLocation() const = 0;
    // Displays were added, removed or rearranged. Main thread.
    Notifier<> changed;
};

} // namespace zumo
