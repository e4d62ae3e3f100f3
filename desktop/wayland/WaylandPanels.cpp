// Paints the run into the overlay's frame, as the X11 panel paints its window.
#include "desktop/wayland/WaylandPanels.h"

#include <QPainter>
#include <cmath>

#include "panel/PanelBackground.h"
#include "panel/PanelRules.h"
#include "desktop/wayland/LayerOverlay.h"
#include "settings/Settings.h"

namespace zumo::wayland {

namespace {

QSize frameSize(const RunView& view, int tileSize)
{
    return pixelSize(panelShape(view, tileSize));
}

} // namespace

WaylandPanels::WaylandPanels(const Settings& settings, WaylandConnection& connection, LayerOverlay& overlay,
                             std::function<void()> hidden)
    : m_settings(settings), m_connection(connection), m_overlay(overlay), m_hidden(std::move(hidden))
{
    m_connection.setPointerListener(this);
    const RunView sample = warmUpView();
    QImage frame(frameSize(sample, settings.tileSize()), QImage::Format_ARGB32_Premultiplied);
    draw(frame, frame.rect(), sample);
}

WaylandPanels::~WaylandPanels()
{
    m_connection.setPointerListener(nullptr);
}

int WaylandPanels::rowsThatFit(const RunView& view, const QRectF& availableArea) const
{
    return zumo::rowsThatFit(panelShape(view, m_settings.tileSize()), availableArea.height());
}

void WaylandPanels::show(const RunView& view, const std::vector<QRect>&)
{
    m_shown = true;
    paint(view);
}

void WaylandPanels::redraw(const RunView& view)
{
    if (m_shown)
        paint(view);
}

void WaylandPanels::warmUp(const RunView& view)
{
    // Painting this run once, unseen, into a frame the first real one will reuse loads the
    // glyphs and icons it needs and makes its shared memory.
    const LayerOverlay::Frame frame = m_overlay.beginFrame(frameSize(view, m_settings.tileSize()));
    draw(frame.image, frame.area, view);
}

void WaylandPanels::hide()
{
    m_shown = false;
    m_hidden();
}

void WaylandPanels::resetPointer()
{
    m_lastPointer.reset();
    m_scrolled = 0;
}

int WaylandPanels::tileUnder(wl_surface* surface, double x, double y) const
{
    const QRect area = m_overlay.shownArea();
    if (!m_shown || surface != m_overlay.surface() || area.isEmpty() || !m_settings.mouse())
        return -1;
    return tileAt(m_shape, QPointF(x, y) - area.topLeft());
}

void WaylandPanels::pointerMoved(wl_surface* surface, double x, double y)
{
    const HoverDecision decision = decideHover(m_lastPointer, QPointF(x, y));
    m_lastPointer = decision.anchor;
    const int index = decision.hover ? tileUnder(surface, x, y) : -1;
    if (index >= 0)
        hovered.notify(index);
}

void WaylandPanels::pointerPressed(wl_surface* surface, double x, double y)
{
    if (const int index = tileUnder(surface, x, y); index >= 0)
        picked.notify(index);
}

void WaylandPanels::wheelTurned(double distance)
{
    if (!m_shown || !m_settings.mouse())
        return;
    // The compositor counts rolling towards the user as positive, the rule the other way round.
    const ScrollDecision decision = accumulateScroll(m_scrolled, -distance);
    m_scrolled = decision.accumulated;
    if (decision.step != 0)
        scrolled.notify(decision.step);
}

void WaylandPanels::paint(const RunView& view)
{
    m_shape = panelShape(view, m_settings.tileSize());
    const LayerOverlay::Frame frame = m_overlay.beginFrame(frameSize(view, m_settings.tileSize()));
    draw(frame.image, frame.area, view);
    m_overlay.present();
}

void WaylandPanels::draw(QImage& frame, const QRect& area, const RunView& view)
{
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    // A compositor always blends layer surfaces: the panel is translucent with rounded corners.
    paintPanelBackground(painter, QRectF(QPointF(0, 0), area.size()), true);
    m_painter.paint(painter, PanelContent{view, m_settings.tileSize(), m_settings.showNumbers()});
}

} // namespace zumo::wayland
