// The switcher's panel on Wayland: the run painted by PanelPainter into the overlay surface's
// shared-memory frame, and the pointer over it. One panel, on the output of the active window;
// no mirrors on the other outputs.
#pragma once

#include <QPointF>
#include <functional>
#include <optional>

#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "desktop/wayland/WaylandConnection.h"
#include "switcher/RunPanels.h"

namespace zumo {
class Settings;
}

namespace zumo::wayland {

class LayerOverlay;

class WaylandPanels final : public RunPanels, private PointerListener {
public:
    // All three must outlive the panels; hidden is told each hide() and decides what becomes of the
    // overlay. Paints a sample once, unseen, so that the first real paint finds the fonts and
    // glyphs loaded. Main thread.
    WaylandPanels(const Settings& settings, WaylandConnection& connection, LayerOverlay& overlay,
                  std::function<void()> hidden);
    ~WaylandPanels() override;

    int rowsThatFit(const RunView& view, const QRectF& availableArea) const override;
    void show(const RunView& view, const std::vector<QRect>& displayFrames) override;
    void redraw(const RunView& view) override;
    void hide() override;
    void warmUp(const RunView& view) override;
    void resetPointer() override;

private:
    void pointerMoved(wl_surface* surface, double x, double y) override;
    void pointerPressed(wl_surface* surface, double x, double y) override;
    void wheelTurned(double distance) override;
    // The tile under a point of the overlay, or -1.
    int tileUnder(wl_surface* surface, double x, double y) const;
    void paint(const RunView& view);
    void draw(QImage& frame, const QRect& area, const RunView& view);

    const Settings& m_settings;
    WaylandConnection& m_connection;
    LayerOverlay& m_overlay;
    std::function<void()> m_hidden;
    PanelPainter m_painter;
    bool m_shown = false;
    PanelShape m_shape;  // of the panel shown
    std::optional<QPointF> m_lastPointer;
    double m_scrolled = 0;
};

} // namespace zumo::wayland
