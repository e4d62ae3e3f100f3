// Draws the notice: a translucent orange fill and outline behind the text.
#include "windows/Banner.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace zumo {

namespace {

const QColor Orange(0xff, 0x95, 0x00);

} // namespace

Banner::Banner(const QString& text, QWidget* parent) : QWidget(parent), m_label(new QLabel(text, this))
{
    m_label->setWordWrap(true);
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->addWidget(m_label);
    setAccessibleName(QStringLiteral("Notice"));
    setAccessibleDescription(text);
}

void Banner::setText(const QString& text)
{
    m_label->setText(text);
    setAccessibleDescription(text);
}

QString Banner::text() const
{
    return m_label->text();
}

void Banner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    QColor fill = Orange, stroke = Orange;
    fill.setAlphaF(0.18);
    stroke.setAlphaF(0.7);
    painter.fillPath(path, fill);
    painter.setPen(QPen(stroke, 1));
    painter.drawPath(path);
}

} // namespace zumo
