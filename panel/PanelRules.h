// Pure decisions of the switcher panel: the texts a tile shows and how pointer input counts.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QString>
#include <optional>

#include "inventory/Entry.h"

namespace zumo {

// The number badge of tile index: "1" to "9" for the first nine tiles when numbers are shown,
// empty otherwise (also for a negative index).
QString badgeText(int index, bool showNumbers);

// The line under a tile's title: the app's name (empty when it has none) followed by
// " · other desktop" for a window on another desktop, else by " · tab" for a browser tab;
// otherwise the name alone, or empty when the name equals the title.
QString subtitleText(const Entry& entry);

// Pointer moves closer than this to the last counted position are jitter, not a hover.
inline constexpr double HoverSlop = 3;
// Accumulated scroll distance, in points, beyond which one selection step is taken.
inline constexpr double ScrollStepDistance = 14;

struct HoverDecision {
    bool hover = false;         // ask for the tile under the pointer
    QPointF anchor;             // the position the next move is measured from
};

// A pointer move to point. Without an anchor (the first move of a run) it only records the
// position, so a pointer resting over the panel does not change the preselected tile. Moves of
// HoverSlop or less keep the old anchor, so a slow pointer still hovers once it has travelled
// far enough in total.
HoverDecision decideHover(std::optional<QPointF> anchor, QPointF point);

// Converts a wheel event's deltas to points: pixelDelta when the device reports it (touchpads),
// else angleDelta in degrees. Returns the vertical value, or the horizontal one when its
// magnitude is larger.
double wheelDistance(QPoint pixelDelta, QPoint angleDelta);

struct ScrollDecision {
    double accumulated = 0;     // the new accumulated distance
    int step = 0;               // +1 next tile, -1 previous tile, 0 none
};

// Adds a scroll of delta points (positive = content up, as wheels report rolling away from the
// user) to accumulated. Beyond ScrollStepDistance either way one step is taken and the
// accumulation starts again from 0. A non-finite delta is ignored.
ScrollDecision accumulateScroll(double accumulated, double delta);

} // namespace zumo
