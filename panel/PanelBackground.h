// The panel's rounded background with its hairline edge.
#pragma once

#include <QRectF>

class QPainter;

namespace zumo {

// Fills rect with the panel background: a rounded translucent or an opaque dark surface with a
// hairline edge. A whole-pixel rect at a whole device pixel ratio is drawn from slices of one
// small rendering, pixel for pixel the same as drawing it directly, which stroked the outline of
// a large panel at about a millisecond per show.
void paintPanelBackground(QPainter& painter, const QRectF& rect, bool translucent);
// The same drawn directly, antialiased: the way for the sizes and ratios slices cannot serve,
// and the rendering the slices are cut from.
void paintPanelBackgroundDirectly(QPainter& painter, const QRectF& rect, bool translucent);

} // namespace zumo
