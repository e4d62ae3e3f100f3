// Zumo's icon, drawn from one list of shapes both as pixels (windows, tray, toast) and as the
// SVG file installed for the desktop, so the two never drift apart.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>

namespace zumo {

// The icon at size × size pixels on a transparent background.
QImage appIconImage(int size);
QPixmap appIconPixmap(int size, qreal devicePixelRatio = 1.0);
// The same icon as a standalone SVG document.
QByteArray appIconSvg();

} // namespace zumo
