// The panels a run is drawn in, as the Switcher sees them: it hands them the run's content and
// the displays to show on, and hears pointer input back. The widgets live in panel/; the app
// gives them to the Switcher when it composes. Main thread only.
#pragma once

#include <QRect>
#include <QRectF>
#include <vector>

#include "platform/Listeners.h"
#include "switcher/RunView.h"

namespace zumo {

class RunPanels {
public:
    virtual ~RunPanels() = default;

    // The most rows of view's tiles whose panel (margins, bands and rows, ignoring view's own
    // row limit) fits the height of availableArea (global coordinates); at least 1.
    virtual int rowsThatFit(const RunView& view, const QRectF& availableArea) const = 0;
    // Draws view on one panel per display frame (global coordinates), each sized for view and
    // centred on its display: the first is the main panel, the others mirror it. Panels for
    // displays no longer given are hidden. Panels are made on first need and then reused.
    virtual void show(const RunView& view, const std::vector<QRect>& displayFrames) = 0;
    // Draws view on the panels shown now, without moving or resizing them.
    virtual void redraw(const RunView& view) = 0;
    // As redraw, when only view's selection and first row changed since the last show or redraw:
    // panels that keep a copy of the entries need not take all of them again.
    virtual void moveSelection(const RunView& view) { redraw(view); }
    // Readies the main panel for a run like view without showing it on any display: its window,
    // its image memory and the glyphs are made now, so the first real show costs what later ones do.
    virtual void warmUp(const RunView& view) = 0;
    // Hides every panel; they stay made for the next run.
    virtual void hide() = 0;
    // Forgets the pointer position and the scroll distance, so a run starts fresh: a pointer
    // resting over a panel does not move the selection.
    virtual void resetPointer() = 0;

    Notifier<int> hovered;   // the pointer moved onto tile i
    Notifier<int> picked;    // tile i was clicked
    Notifier<int> scrolled;  // one scroll step: +1 next tile, -1 previous
};

} // namespace zumo
