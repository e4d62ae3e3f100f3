// The icon of a classic X client: the pixmap and mask named in its WM_HINTS, read from the server
// and turned into an image.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>
#include <xcb/xcb.h>

namespace zumo::x11 {

// Pixmaps larger than this on a side are not read: an icon never needs more, and a hostile
// client could name a huge one.
inline constexpr int MaxHintsIconSide = 512;

struct HintsPixmaps {
    std::uint32_t pixmap = 0;
    std::uint32_t mask = 0;  // 0 when the icon has no mask
    bool operator==(const HintsPixmaps&) const = default;
};

// The icon pixmap and mask of a WM_HINTS value; nothing when it names no icon pixmap.
std::optional<HintsPixmaps> parseHintsIcon(std::span<const std::uint32_t> hints);

// How the server lays out the pixels of a GetImage reply (Z format) for one depth.
struct PixelLayout {
    int depth = 24;
    int bitsPerPixel = 32;
    int scanlinePad = 32;
    bool lsbFirst = true;  // byte order for 32-bit pixels, bit order for bitmaps
};

// The image of a depth 24 or 32 (TrueColour, 32 bits a pixel) or depth 1 pixmap (set bits
// black, clear ones white), opaque; a mask bitmap of the same size, when given, clears the
// pixels it does not set. Null for other layouts or data shorter than the size needs.
QImage pixmapImage(QSize size, const PixelLayout& layout, std::span<const std::uint8_t> data,
                   const PixelLayout* maskLayout = nullptr, std::span<const std::uint8_t> mask = {});

// Reads the icons of several windows at once: all requests go out before the first answer is
// awaited (two round trips for the lot). A pixmap that is gone, too large or of a depth we do
// not read gives a null image. Main thread.
std::vector<QImage> readHintsIcons(xcb_connection_t* c, const std::vector<HintsPixmaps>& icons);

} // namespace zumo::x11
