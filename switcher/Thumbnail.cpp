// Thumbnail scaling for window previews.
#include "switcher/Thumbnail.h"

#include <algorithm>
#include <cmath>

namespace zumo {

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
