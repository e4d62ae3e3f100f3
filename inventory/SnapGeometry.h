// Where a snapped window goes: coordinate conversion, the screen choice and the target frames.
#pragma once

#include <QRectF>
#include <optional>
#include <vector>

#include "platform/Screens.h"
#include "inventory/Entry.h"

namespace zumo {

// A screen as the snap works with it: the whole frame and the visible frame in bottom-left
// coordinates (origin at the bottom-left of the primary screen, y growing upwards).
struct BottomLeftScreen {
    QRectF frame;
    QRectF visibleFrame;
};

struct SnapScreenInfo {
    double primaryHeight = 0;
    QRectF visibleFrame; // of the chosen screen, bottom-left coordinates
};

// Bottom-left to top-left space: x unchanged, y = primaryHeight - max y, same size. The flip is
// its own inverse, so it also converts top-left rectangles to bottom-left ones.
QRectF toTopLeft(const QRectF& bottomLeft, double primaryHeight);

// The seam's screens (top-left coordinates, primary first) as bottom-left screens.
std::vector<BottomLeftScreen> toBottomLeft(const std::vector<Screen>& screens);

// The primary height and the visible frame of the first screen containing the centre of the
// window frame (top-left coordinates); else the main screen; else the first; nothing without
// screens. A screen contains its left and top edges but not its right and bottom ones, so a
// centre on the seam of two screens belongs to exactly one.
std::optional<SnapScreenInfo> chooseSnapScreen(const std::vector<BottomLeftScreen>& screens,
                                               std::optional<int> mainScreen, const QRectF& windowFrame);

// The new window frame in top-left coordinates for the target on the screen; nothing for a
// value outside the six targets.
std::optional<QRectF> snapTarget(const SnapScreenInfo& screen, SnapTo target);

} // namespace zumo
