// The switcher's panel on Wayland: the run painted by PanelPainter into the overlay surface's
// shared-memory frame. One panel, on the output the compositor puts the overlay on; no pointer
// input yet.
#pragma once

#include <functional>

#include "panel/PanelPainter.h"
#include "switcher/RunPanels.h"

namespace zumo {
class Settings;
}

namespace zumo::wayland {

class LayerOverlay;

class WaylandPanels final : public RunPanels {
public:
    // Both must outlive the panels; hidden is told each hide() and decides what becomes of the
    // overlay. Paints a sample once, unseen, so that the first real paint finds the fonts and
    // glyphs loaded. Main thread.
    WaylandPanels(const Settings& settings, LayerOverlay& overlay, std::function<void()> hidden);

    int rowsThatFit(const RunView& view, const QRectF& availableArea) const override;
    void show(const RunView& view, const std::vector<QRect>& displayFrames) override;
    void redraw(const RunView& view) override;
    void hide() override;
    void warmUp(const RunView& view) override;
    void resetPointer() override {}

private:
    void paint(const RunView& view);
    void draw(QImage& frame, const RunView& view);

    const Settings& m_settings;
    LayerOverlay& m_overlay;
    std::function<void()> m_hidden;
    PanelPainter m_painter;
    bool m_shown = false;
};

} // namespace zumo::wayland
