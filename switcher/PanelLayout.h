// Panel geometry as pure functions of the entry count, the mode and the bands shown.
#pragma once

#include <QRectF>
#include <QSizeF>

namespace zumo {

struct TileMetrics {
    int columns = 8;
    double tileWidth = 130;
    double tileHeight = 124;
    double scale = 1.0;  // the size factor s of the tile size setting
};

inline constexpr double PanelPad = 14;
inline constexpr double SearchBand = 34;
inline constexpr double HintBand = 26;
inline constexpr double MinBandWidth = 560;

// Metrics for a tile size setting (clamped to 0...2) in icon or preview mode.
TileMetrics tileMetrics(int tileSize, bool previewMode);
// Scale factor of a tile size setting: 0.85, 1.0, 1.25.
double tileScale(int tileSize);

struct PanelShape {
    int count = 0;  // entries
    bool hasQuery = false;
    bool hasHint = false;
    TileMetrics metrics;
};

QSizeF preferredSize(const PanelShape& shape);
QRectF tileRect(const PanelShape& shape, int index);
// The first tile (in index order) containing point, or -1.
int tileAt(const PanelShape& shape, QPointF point);
// The step of an Up/Down move: the column count.
inline int rowStep(const PanelShape& shape) { return shape.metrics.columns; }

} // namespace zumo
