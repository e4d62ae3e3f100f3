// Panel geometry: tile metrics per size setting and mode, panel size, tile rectangles, hit tests.
#include "panel/PanelLayout.h"

#include <algorithm>
#include <cmath>

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

int visibleRows(const PanelShape& shape)
{
    const int rows = rowCount(shape);
    return shape.maxRows > 0 ? std::min(rows, shape.maxRows) : rows;
}

double bandsHeight(const PanelShape& shape)
{
    return 2 * PanelPad + (shape.hasQuery ? SearchBand : 0) + (shape.hasHint ? HintBand : 0);
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
        return {gridColumns(true), 190 * s, 160 * s, s};
    return {gridColumns(false), 130 * s, 124 * s, s};
}

PanelShape panelShape(const RunView& view, int tileSize)
{
    return {int(view.entries.size()), view.query.has_value(), view.hint.has_value(),
            tileMetrics(tileSize, view.previewMode), view.maxRows, view.firstRow};
}

QSizeF preferredSize(const PanelShape& shape)
{
    const double minWidth = (shape.hasHint || shape.hasQuery) ? MinBandWidth : 0;
    const double tilesWidth = usedColumns(shape) * shape.metrics.tileWidth + 2 * PanelPad;
    const double height = visibleRows(shape) * shape.metrics.tileHeight + bandsHeight(shape);
    return {std::max(tilesWidth, minWidth), height};
}

QSize pixelSize(const PanelShape& shape)
{
    const QSizeF size = preferredSize(shape);
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

QRectF tileRect(const PanelShape& shape, int index)
{
    const int cols = std::max(1, shape.metrics.columns);
    const double width = preferredSize(shape).width();
    const double left = (width - usedColumns(shape) * shape.metrics.tileWidth) / 2;
    const int column = index % cols;
    const int row = index / cols - shape.firstRow;
    return {left + column * shape.metrics.tileWidth, tilesTop(shape) + row * shape.metrics.tileHeight,
            shape.metrics.tileWidth, shape.metrics.tileHeight};
}

bool tileVisible(const PanelShape& shape, int index)
{
    if (index < 0 || index >= shape.count)
        return false;
    const int row = index / std::max(1, shape.metrics.columns);
    return row >= shape.firstRow && row < shape.firstRow + visibleRows(shape);
}

int tileAt(const PanelShape& shape, QPointF point)
{
    const int cols = std::max(1, shape.metrics.columns);
    const int first = std::max(0, shape.firstRow) * cols;
    const int end = std::min(shape.count, (shape.firstRow + visibleRows(shape)) * cols);
    for (int i = first; i < end; ++i) {
        if (tileRect(shape, i).contains(point))
            return i;
    }
    return -1;
}

int rowsThatFit(const PanelShape& shape, double availableHeight)
{
    const double tile = shape.metrics.tileHeight;
    const double room = availableHeight - bandsHeight(shape);
    // The negated test also sends NaN to the fallback.
    if (!(room >= tile) || !(tile > 0))
        return 1;
    // Capped so that a huge height cannot overflow the conversion.
    return int(std::min(std::floor(room / tile), 1e6));
}

} // namespace zumo
