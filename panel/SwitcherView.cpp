// The switcher panel's content widget: paints the content it is handed and turns pointer input
// into tile indices.
#include "panel/SwitcherView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "settings/Settings.h"
#include "panel/PanelPainter.h"
#include "panel/PanelRules.h"

namespace zumo {

SwitcherView::SwitcherView(const Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    m_painter = std::make_shared<PanelPainter>();
    // Hover needs moves without a pressed button.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void SwitcherView::resetPointer()
{
    m_lastMouse.reset();
    m_scrollAcc = 0;
}

PanelShape SwitcherView::shape() const
{
    return panelShape(m_content, m_settings.tileSize());
}

QSize SwitcherView::preferredSize() const
{
    const QSizeF size = zumo::preferredSize(shape());
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

QRectF SwitcherView::tileRect(int index) const
{
    return zumo::tileRect(shape(), index);
}

std::size_t SwitcherView::contentDigest() const
{
    const RunView& c = m_content;
    std::size_t seed = qHashMulti(0, c.entries.size(), c.previewMode, c.query.has_value(), c.hint.has_value(),
                                  c.query.value_or(QString()), c.hint.value_or(QString()),
                                  m_settings.tileSize(), m_settings.showNumbers(), c.maxRows, c.firstRow);
    // Only the tiles shown are drawn: with thousands of windows, hashing every title cost more
    // than repainting the two tiles of a Tab.
    const auto [first, last] = shownTiles(c);
    for (int i = first; i < last; ++i) {
        const Entry& e = c.entries[std::size_t(i)];
        seed = qHashMulti(seed, e.id, e.title, e.app.name, e.icon.cacheKey(), e.thumb.cacheKey(), e.minimized,
                          e.otherSpace, e.tab.has_value());
    }
    return seed;
}

void SwitcherView::draw(RunView content)
{
    m_content = std::move(content);
    requestPaint();
}

void SwitcherView::select(int selected, int firstRow)
{
    m_content.selected = selected;
    m_content.firstRow = firstRow;
    requestPaint();
}

void SwitcherView::requestPaint()
{
    const int selected = m_content.selected;
    // A Tab press changes only the selection: repaint just the two tiles involved.
    const std::size_t digest = contentDigest();
    const int count = int(m_content.entries.size());
    const bool selectionOnly = digest == m_requestedDigest && isVisible();
    if (!selectionOnly) {
        update();
    } else if (selected != m_requestedSelected) {
        if (m_requestedSelected >= 0 && m_requestedSelected < count)
            update(tileRect(m_requestedSelected).toAlignedRect());
        if (selected >= 0 && selected < count)
            update(tileRect(selected).toAlignedRect());
    }
    m_requestedDigest = digest;
    m_requestedSelected = selected;
}

void SwitcherView::render(QPainter& painter) const
{
    const PanelContent content{m_content, m_settings.tileSize(), m_settings.showNumbers()};
    m_painter->paint(painter, content);
}

void SwitcherView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const PanelContent content{m_content, m_settings.tileSize(), m_settings.showNumbers()};
    m_painter->paint(painter, content, QRectF(event->rect()));
}

void SwitcherView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_settings.mouse())
        return;
    const QPointF point = event->position();
    const HoverDecision decision = decideHover(m_lastMouse, point);
    m_lastMouse = decision.anchor;
    if (!decision.hover)
        return;
    const int index = tileAt(shape(), point);
    if (index >= 0)
        hovered.notify(index);
}

void SwitcherView::mousePressEvent(QMouseEvent* event)
{
    if (!m_settings.mouse() || event->button() != Qt::LeftButton)
        return;
    const int index = tileAt(shape(), event->position());
    if (index >= 0)
        picked.notify(index);
}

void SwitcherView::wheelEvent(QWheelEvent* event)
{
    if (!m_settings.mouse()) {
        event->ignore();
        return;
    }
    event->accept();
    const ScrollDecision decision =
        accumulateScroll(m_scrollAcc, wheelDistance(event->pixelDelta(), event->angleDelta()));
    m_scrollAcc = decision.accumulated;
    if (decision.step != 0)
        scrolled.notify(decision.step);
}

} // namespace zumo
