// Panel geometry: tile metrics per size setting and mode, panel size, tile rectangles, hit tests.
#include "switcher/PanelLayout.h"

#include <algorithm>

namespace zumo {

namespace {

int usedColumns(const PanelShape& shape)
{
    const int cols = std::max(1, shape.metrics.columns);
    return shape.count <= 0 ? 1 : std::min(shape.count, cols);
}

int rowCount(const PanelShape& shape)
{
    const int cols = std::max(1, shape.metrics.columns);
    const int n = std::max(0, shape.count);
    return std::max(1, (n + cols - 1) / cols);
}

double tilesTop(const PanelShape& shape)
{
    return shape.hasQuery ? PanelPad + SearchBand : PanelPad;
}

} // namespace

double tileScale(int tileSize)
{
    if (tileSize <= 0)
        return 0.85;
    if (tileSize >= 2)
        return 1.25;
    return 1.0;
}

TileMetrics tileMetrics(int tileSize, bool previewMode)
{
    const double s = tileScale(tileSize);
    if (previewMode)
        return {5, 190 * s, 160 * s, s};
    return {8, 130 * s, 124 * s, s};
}

QSizeF preferredSize(const PanelShape& shape)
{
    const double minWidth = (shape.hasHint || shape.hasQuery) ? MinBandWidth : 0;
    const double tilesWidth = usedColumns(shape) * shape.metrics.tileWidth + 2 * PanelPad;
    double height = rowCount(shape) * shape.metrics.tileHeight + 2 * PanelPad;
    if (shape.hasQuery)
        height += SearchBand;
    if (shape.hasHint)
        height += HintBand;
    return {std::max(tilesWidth, minWidth), height};
}

QRectF tileRect(const PanelShape& shape, int index)
{
    const int cols = std::max(1, shape.metrics.columns);
    const double width = preferredSize(shape).width();
    const double left = (width - usedColumns(shape) * shape.metrics.tileWidth) / 2;
    const int column = index % cols;
    const int row = index / cols;
    return {left + column * shape.metrics.tileWidth, tilesTop(shape) + row * shape.metrics.tileHeight,
            shape.metrics.tileWidth, shape.metrics.tileHeight};
}

int tileAt(const PanelShape& shape, QPointF point)
{
    for (int i = 0; i < shape.count; ++i) {
        if (tileRect(shape, i).contains(point))
            return i;
    }
    return -1;
}

} // namespace zumo
