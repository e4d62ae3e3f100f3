// Slices of one rendering of a small rounded panel: its four corners as they are, its edges
// repeated along the sides and its inside filled.
#include "panel/PanelBackground.h"

#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "panel/PanelPainter.h"

namespace zumo {

namespace {

// Logical pixels from a side that hold a whole corner, edge included.
constexpr int Corner = int(PanelStyle::CornerRadius) + 1;
// The rendering sliced: two corners and one straight pixel between them each way.
constexpr int ReferenceSize = 2 * Corner + 1;

// The pieces for one look and device pixel ratio, in device pixels. Edges are kept at the
// length last asked for, since a panel keeps its size from run to run.
struct Slices {
    QImage reference;
    QImage horizontal[2];  // top, bottom
    QImage vertical[2];    // left, right

    static QImage render(bool translucent, int ratio)
    {
        QImage image(ReferenceSize * ratio, ReferenceSize * ratio, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.scale(ratio, ratio);
        paintPanelBackgroundDirectly(painter, QRectF(0, 0, ReferenceSize, ReferenceSize), translucent);
        return image;
    }

    // The reference's straight column at x, `length` pixels wide, rows `from` on.
    QImage row(int x, int from, int rows, int length) const
    {
        QImage strip(length, rows, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < rows; ++y) {
            const QRgb value = reinterpret_cast<const QRgb*>(reference.constScanLine(from + y))[x];
            auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
            std::fill(line, line + length, value);
        }
        return strip;
    }

    // The reference's straight row at y, repeated `length` times, columns `from` on.
    QImage column(int y, int from, int columns, int length) const
    {
        QImage strip(columns, length, QImage::Format_ARGB32_Premultiplied);
        const auto* source = reinterpret_cast<const QRgb*>(reference.constScanLine(y)) + from;
        for (int i = 0; i < length; ++i)
            std::copy(source, source + columns, reinterpret_cast<QRgb*>(strip.scanLine(i)));
        return strip;
    }
};

Slices& slicesFor(bool translucent, int ratio, QSize edges)
{
    static QHash<std::pair<bool, int>, Slices> cache;
    Slices& s = cache[{translucent, ratio}];
    if (s.reference.isNull())
        s.reference = Slices::render(translucent, ratio);
    const int c = Corner * ratio;
    const int far = (ReferenceSize - Corner) * ratio;
    if (s.horizontal[0].width() != edges.width()) {
        s.horizontal[0] = s.row(c, 0, c, edges.width());
        s.horizontal[1] = s.row(c, far, c, edges.width());
    }
    if (s.vertical[0].height() != edges.height()) {
        s.vertical[0] = s.column(c, 0, c, edges.height());
        s.vertical[1] = s.column(c, far, c, edges.height());
    }
    return s;
}

bool whole(double value)
{
    return value == std::floor(value);
}

} // namespace

void paintPanelBackgroundDirectly(QPainter& painter, const QRectF& rect, bool translucent)
{
    painter.save();
    if (!translucent)
        painter.fillRect(rect, PanelStyle::background(false));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(PanelStyle::label(0.14), 1));
    painter.setBrush(PanelStyle::background(translucent));
    const double r = PanelStyle::CornerRadius;
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), r, r);
    painter.restore();
}

void paintPanelBackground(QPainter& painter, const QRectF& rect, bool translucent)
{
    const double ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QTransform& world = painter.worldTransform();
    const bool sliceable = ratio >= 1 && whole(ratio) && world.type() <= QTransform::TxTranslate &&
                           whole(world.dx()) && whole(world.dy()) && whole(rect.x()) && whole(rect.y()) &&
                           whole(rect.width()) && whole(rect.height()) && rect.width() >= ReferenceSize &&
                           rect.height() >= ReferenceSize;
    if (!sliceable) {
        paintPanelBackgroundDirectly(painter, rect, translucent);
        return;
    }
    const int r = int(ratio);
    const int c = Corner * r, far = (ReferenceSize - Corner) * r;
    const int x = int(rect.x()) * r, y = int(rect.y()) * r, w = int(rect.width()) * r, h = int(rect.height()) * r;
    const Slices& s = slicesFor(translucent, r, QSize(w - 2 * c, h - 2 * c));
    painter.save();
    // In device pixels from here, every piece lands whole and is copied as it is.
    painter.setWorldTransform(QTransform::fromScale(1.0 / r, 1.0 / r), true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), s.reference, QRect(0, 0, c, c));
    painter.drawImage(QPoint(x + w - c, y), s.reference, QRect(far, 0, c, c));
    painter.drawImage(QPoint(x, y + h - c), s.reference, QRect(0, far, c, c));
    painter.drawImage(QPoint(x + w - c, y + h - c), s.reference, QRect(far, far, c, c));
    painter.drawImage(QPoint(x + c, y), s.horizontal[0]);
    painter.drawImage(QPoint(x + c, y + h - c), s.horizontal[1]);
    painter.drawImage(QPoint(x, y + c), s.vertical[0]);
    painter.drawImage(QPoint(x + w - c, y + c), s.vertical[1]);
    painter.fillRect(QRect(x + c, y + c, w - 2 * c, h - 2 * c), PanelStyle::background(translucent));
    painter.restore();
}

} // namespace zumo
