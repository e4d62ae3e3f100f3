// The content of a switcher panel: draws the run's content it is handed and turns pointer
// input into tile indices.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "panel/PanelLayout.h"
#include "platform/Listeners.h"
#include "switcher/RunView.h"

namespace zumo {

class Settings;
class PanelPainter;

class SwitcherView : public QWidget {
    Q_OBJECT
public:
    explicit SwitcherView(const Settings& settings, QWidget* parent = nullptr);

    // What is drawn now.
    const RunView& content() const { return m_content; }
    // Takes content and schedules a repaint; when only the selection changed since the last
    // draw, just the two tiles involved are repainted.
    void draw(RunView content);
    // As draw with the content drawn now, only selected and firstRow changed.
    void select(int selected, int firstRow);
    // Forgets the last pointer position and the scroll distance (each run starts fresh).
    void resetPointer();

    // The panel content size for the current content and the "tileSize" setting.
    QSize preferredSize() const;
    QRectF tileRect(int index) const;
    PanelShape shape() const;
    // Paints the current content into painter, as the widget would (used for PNG output).
    void render(QPainter& painter) const;

    // Pointer input, all ignored while the "mouse" setting is off. hovered(i): the pointer moved
    // more than 3 points onto tile i (the first move after resetPointer() only records where the
    // pointer is). picked(i): left click on tile i. scrolled(+1 or -1): next or previous tile,
    // one step per 14 points of wheel travel. Nothing is told for points outside every tile.
    Notifier<int> hovered;
    Notifier<int> picked;
    Notifier<int> scrolled;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // A digest of everything drawn except the selection, to tell a selection-only redraw.
    std::size_t contentDigest() const;
    // Schedules the repaint the content now needs: all of it, or the two tiles of a selection move.
    void requestPaint();

    // Caches of scaled images and text layouts; shared_ptr so the header needs no complete type.
    std::shared_ptr<PanelPainter> m_painter;
    std::size_t m_requestedDigest = 0;
    int m_requestedSelected = -1;

    const Settings& m_settings;
    RunView m_content;
    std::optional<QPointF> m_lastMouse;
    double m_scrollAcc = 0;
};

} // namespace zumo
