// The icon's shapes (a blue tile with two stacked windows, the front one raised) and both renderings.
#include "windows/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <array>

namespace zumo {
namespace {

constexpr double Grid = 512;  // the shapes are laid out on a 512 × 512 grid

struct Shape {
    double x, y, w, h, radius;
    const char* fill;
};

// Back to front: the tile, the window behind, the window in front with its title bar and a
// shadow that makes the front window read as raised even at 16 pixels.
constexpr std::array<Shape, 6> Shapes{{
    {24, 24, 464, 464, 104, "#2f6fd0"},
    {96, 120, 236, 188, 30, "#9ec3f5"},
    {176, 208, 252, 196, 30, "#14345f"},
    {164, 192, 252, 196, 30, "#ffffff"},
    {164, 192, 252, 56, 30, "#ffb23e"},
    {164, 222, 252, 26, 0, "#ffb23e"},
}};

void paintShapes(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (const Shape& s : Shapes) {
        p.setBrush(QColor(s.fill));
        p.drawRoundedRect(QRectF(s.x, s.y, s.w, s.h), s.radius, s.radius);
    }
}

} // namespace

QImage appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / Grid, size / Grid);
    paintShapes(p);
    return image;
}

QPixmap appIconPixmap(int size, qreal devicePixelRatio)
{
    QPixmap pixmap = QPixmap::fromImage(appIconImage(int(size * devicePixelRatio)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QByteArray appIconSvg()
{
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"512\" height=\"512\" viewBox=\"0 0 512 512\">\n";
    for (const Shape& s : Shapes) {
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"/>\n")
                   .arg(s.x).arg(s.y).arg(s.w).arg(s.h).arg(s.radius).arg(QLatin1String(s.fill))
                   .toUtf8();
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace zumo
