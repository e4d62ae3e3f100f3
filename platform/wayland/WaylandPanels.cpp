// Paints the run into the overlay's frame, as the X11 panel paints its window.
#include "platform/wayland/WaylandPanels.h"

#include <QPainter>
#include <cmath>

#include "panel/PanelLayout.h"
#include "platform/wayland/LayerOverlay.h"
#include "settings/Settings.h"

namespace zumo::wayland {

namespace {

QSize frameSize(const RunView& view, int tileSize)
{
    const QSizeF size = preferredSize(panelShape(view, tileSize));
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

} // namespace

WaylandPanels::WaylandPanels(const Settings& settings, LayerOverlay& overlay, std::function<void()> hidden)
    : m_settings(settings), m_overlay(overlay), m_hidden(std::move(hidden))
{
    RunView sample;
    sample.entries.resize(2);
    sample.entries[0].title = QStringLiteral("Abcdefghijklmnopqrstuvwxyz 0123456789");
    sample.entries[1].title = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ …·–");
    sample.query = QStringLiteral("warm");
    sample.hint = QStringLiteral("1–9 ⇥ ↩");
    QImage frame(frameSize(sample, settings.tileSize()), QImage::Format_ARGB32_Premultiplied);
    draw(frame, sample);
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
    // The overlay makes its frames when it is asked for; painting this run once, unseen, loads
    // the glyphs and icons the first real one will need.
    QImage frame(frameSize(view, m_settings.tileSize()), QImage::Format_ARGB32_Premultiplied);
    draw(frame, view);
}

void WaylandPanels::hide()
{
    m_shown = false;
    m_hidden();
}

void WaylandPanels::paint(const RunView& view)
{
    draw(m_overlay.beginFrame(frameSize(view, m_settings.tileSize())), view);
    m_overlay.present();
}

void WaylandPanels::draw(QImage& frame, const RunView& view)
{
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    // A compositor always blends layer surfaces: the panel is translucent with rounded corners.
    paintPanelBackground(painter, QRectF(frame.rect()), true);
    m_painter.paint(painter, PanelContent{view, m_settings.tileSize(), m_settings.showNumbers()});
}

} // namespace zumo::wayland
