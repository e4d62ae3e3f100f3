// The switcher's panel on GNOME Shell: the run painted by PanelPainter into an image that the
// extension shows, centred on the monitor with the pointer, above everything; the pointer over
// it comes back from the extension. One panel: no mirrors on other monitors.
#pragma once

#include <QImage>
#include <QPointF>
#include <functional>
#include <optional>

#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "platform/Listeners.h"
#include "switcher/RunPanels.h"

namespace zumo {
class Settings;
}

namespace zumo::gnome {

class ShellBridge;

class GnomePanels final : public RunPanels {
public:
    // settings and bridge must outlive the panels; hidden is told each hide(). Paints a sample
    // once, unseen, so that the first real paint finds the fonts and glyphs loaded. Main thread.
    GnomePanels(const Settings& settings, ShellBridge& bridge, std::function<void()> hidden);

    int rowsThatFit(const RunView& view, const QRectF& availableArea) const override;
    void show(const RunView& view, const std::vector<QRect>& displayFrames) override;
    void redraw(const RunView& view) override;
    void hide() override;
    void warmUp(const RunView& view) override;
    void resetPointer() override;

private:
    void pointer(int kind, double x, double y);
    void paint(const RunView& view);
    void draw(const RunView& view);

    const Settings& m_settings;
    ShellBridge& m_bridge;
    std::function<void()> m_hidden;
    PanelPainter m_painter;
    QImage m_frame;  // reused while the panel keeps its size
    bool m_shown = false;
    PanelShape m_shape;  // of the panel shown
    std::optional<QPointF> m_lastPointer;
    double m_scrolled = 0;
    Subscription m_pointer;
};

} // namespace zumo::gnome
