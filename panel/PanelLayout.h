// Panel geometry as pure functions of the entry count, the mode and the bands shown.
#pragma once

#include <QRectF>
#include <QSizeF>

#include "switcher/RunView.h"

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
    // With more rows than fit on the screen only maxRows of them are shown (0: no limit),
    // starting at row firstRow.
    int maxRows = 0;
    int firstRow = 0;
};

// The shape of view's panel at a tile size setting.
PanelShape panelShape(const RunView& view, int tileSize);
// The panel size; with a row limit, the height of the visible rows only.
QSizeF preferredSize(const PanelShape& shape);
// preferredSize in whole pixels, rounded up: the image a panel is painted into.
QSize pixelSize(const PanelShape& shape);
// Where tile index is drawn; rows above firstRow get negative positions, rows past the visible
// ones positions below them (check tileVisible before painting).
QRectF tileRect(const PanelShape& shape, int index);
// Whether index is an entry in one of the visible rows.
bool tileVisible(const PanelShape& shape, int index);
// The first visible tile (in index order) containing point, or -1.
int tileAt(const PanelShape& shape, QPointF point);
// The most rows whose panel (margins, bands and rows, ignoring the shape's own limit) is at most
// availableHeight tall; at least 1, also for a tiny, negative or NaN height.
int rowsThatFit(const PanelShape& shape, double availableHeight);

} // namespace zumo
