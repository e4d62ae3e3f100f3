// The switcher panel's content widget: holds what is shown, paints it and turns pointer input
// into tile indices.
#include "switcher/SwitcherView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "settings/Settings.h"
#include "switcher/PanelPainter.h"
#include "switcher/PanelRules.h"

namespace zumo {

SwitcherView::SwitcherView(const Settings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    m_painter = std::make_shared<PanelPainter>();
    // Hover needs moves without a pressed button.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void SwitcherView::setEntries(std::vector<Entry> entries)
{
    m_entries = std::move(entries);
    followSelection();
}

void SwitcherView::setSelected(int index)
{
    m_selected = index;
    followSelection();
}

void SwitcherView::setMaxRows(int rows)
{
    m_maxRows = std::max(0, rows);
    followSelection();
}

void SwitcherView::followSelection()
{
    m_firstRow = firstRowShowing(shape(), m_selected);
}

void SwitcherView::setQuery(std::optional<QString> query)
{
    m_query = std::move(query);
}

void SwitcherView::setHint(std::optional<QString> hint)
{
    m_hint = std::move(hint);
}

void SwitcherView::setPreviewMode(bool on)
{
    m_previewMode = on;
}

void SwitcherView::setMirrors(std::vector<SwitcherView*> mirrors)
{
    m_mirrors = std::move(mirrors);
}

void SwitcherView::resetPointer()
{
    m_lastMouse.reset();
    m_scrollAcc = 0;
}

PanelShape SwitcherView::shape() const
{
    return {int(m_entries.size()), m_query.has_value(), m_hint.has_value(),
            tileMetrics(m_settings.tileSize(), m_previewMode), m_maxRows, m_firstRow};
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
    std::size_t seed = qHashMulti(0, m_entries.size(), m_previewMode, m_query.has_value(), m_hint.has_value(),
                                  m_query.value_or(QString()), m_hint.value_or(QString()),
                                  m_settings.tileSize(), m_settings.showNumbers(), m_maxRows, m_firstRow);
    for (const Entry& e : m_entries) {
        seed = qHashMulti(seed, e.id, e.title, e.app.name, e.icon.cacheKey(), e.thumb.cacheKey(), e.minimized,
                          e.otherSpace, e.tab.has_value());
    }
    return seed;
}

void SwitcherView::redraw()
{
    // A Tab press changes only the selection: repaint just the two tiles involved.
    const std::size_t digest = contentDigest();
    const int count = int(m_entries.size());
    const bool selectionOnly = digest == m_requestedDigest && isVisible();
    if (!selectionOnly) {
        update();
    } else if (m_selected != m_requestedSelected) {
        if (m_requestedSelected >= 0 && m_requestedSelected < count)
            update(tileRect(m_requestedSelected).toAlignedRect());
        if (m_selected >= 0 && m_selected < count)
            update(tileRect(m_selected).toAlignedRect());
    }
    m_requestedDigest = digest;
    m_requestedSelected = m_selected;
    syncMirrors();
}

void SwitcherView::syncMirrors()
{
    for (SwitcherView* mirror : m_mirrors) {
        if (!mirror || mirror == this)
            continue;
        mirror->setEntries(m_entries);
        mirror->setSelected(m_selected);
        mirror->setQuery(m_query);
        mirror->setHint(m_hint);
        mirror->setPreviewMode(m_previewMode);
        mirror->setMaxRows(m_maxRows);
        // Copied rather than derived: the mirror did not see every step of the selection.
        mirror->m_firstRow = m_firstRow;
        mirror->redraw();
    }
}

void SwitcherView::render(QPainter& painter) const
{
    const PanelContent content{m_entries,           m_selected,   m_query,   m_hint,    m_previewMode,
                               m_settings.tileSize(), m_settings.showNumbers(), m_maxRows, m_firstRow};
    m_painter->paint(painter, content);
}

void SwitcherView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const PanelContent content{m_entries,           m_selected,   m_query,   m_hint,    m_previewMode,
                               m_settings.tileSize(), m_settings.showNumbers(), m_maxRows, m_firstRow};
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
    if (index >= 0 && onHover)
        onHover(index);
}

void SwitcherView::mousePressEvent(QMouseEvent* event)
{
    if (!m_settings.mouse() || event->button() != Qt::LeftButton)
        return;
    const int index = tileAt(shape(), event->position());
    if (index >= 0 && onPick)
        onPick(index);
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
    if (decision.step != 0 && onScroll)
        onScroll(decision.step);
}

QImage scaleToFit(const QImage& image, double mw, double mh)
{
    const int w = image.width();
    const int h = image.height();
    if (image.isNull() || w < 1 || h < 1 || std::isnan(mw) || std::isnan(mh))
        return {};
    const double factor = std::min({mw / w, mh / h, 1.0});
    const int tw = std::max(1, factor > 0 ? int(w * factor) : 0);
    const int th = std::max(1, factor > 0 ? int(h * factor) : 0);
    QImage scaled = image.scaled(tw, th, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (scaled.isNull())
        return {};
    scaled.setDevicePixelRatio(1.0);
    return scaled;
}

} // namespace zumo
