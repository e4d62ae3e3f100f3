// Window previews scaled down once, off the main thread, so drawing only places a small image.
#pragma once

#include <QImage>

namespace zumo {

// The image scaled to fit mw x mh keeping its shape, never enlarged, at least 1 x 1 pixel (also
// for a zero or negative bound), with smooth filtering and a device pixel ratio of 1. Null when
// the image is empty or a bound is not a number. Safe on any thread.
QImage scaleToFit(const QImage& image, double mw, double mh);

} // namespace zumo
