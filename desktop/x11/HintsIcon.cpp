// Icons from WM_HINTS: the pixmap and mask are read with GetImage and converted to an image.
#include "desktop/x11/HintsIcon.h"

#include <cstdlib>
#include <memory>

namespace zumo::x11 {

namespace {

constexpr std::uint32_t IconPixmapHint = 1u << 2, IconMaskHint = 1u << 5;
constexpr std::size_t IconPixmapWord = 3, IconMaskWord = 7;

std::size_t stride(int width, const PixelLayout& layout)
{
    const std::size_t bits = std::size_t(width) * std::size_t(layout.bitsPerPixel);
    const std::size_t pad = std::size_t(std::max(8, layout.scanlinePad));
    return (bits + pad - 1) / pad * pad / 8;
}

bool readable(const PixelLayout& layout)
{
    return (layout.depth == 1 && layout.bitsPerPixel == 1) ||
           ((layout.depth == 24 || layout.depth == 32) && layout.bitsPerPixel == 32);
}

bool bit(const std::uint8_t* line, int x, bool lsbFirst)
{
    const std::uint8_t byte = line[x / 8];
    return lsbFirst ? (byte >> (x % 8)) & 1 : (byte >> (7 - x % 8)) & 1;
}

QRgb pixel(const std::uint8_t* line, int x, const PixelLayout& layout)
{
    if (layout.bitsPerPixel == 1)
        return bit(line, x, layout.lsbFirst) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
    const std::uint8_t* p = line + std::size_t(x) * 4;
    const std::uint32_t word = layout.lsbFirst ? p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24
                                               : std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    return 0xFF000000u | (word & 0xFFFFFFu);
}

template <typename T>
struct Freed {
    T* p;
    ~Freed() { std::free(p); }
};

PixelLayout layoutFor(const xcb_setup_t* setup, int depth)
{
    PixelLayout layout{depth, 0, 32, true};
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == depth) {
            layout.bitsPerPixel = it.data->bits_per_pixel;
            layout.scanlinePad = it.data->scanline_pad;
        }
    layout.lsbFirst = depth == 1 ? setup->bitmap_format_bit_order == XCB_IMAGE_ORDER_LSB_FIRST
                                 : setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    return layout;
}

// The size and depth of a drawable, if it exists and is small enough to read.
std::optional<std::pair<QSize, int>> pixmapShape(xcb_connection_t* c, xcb_get_geometry_cookie_t cookie)
{
    Freed<xcb_generic_error_t> error{nullptr};
    Freed<xcb_get_geometry_reply_t> reply{xcb_get_geometry_reply(c, cookie, &error.p)};
    if (!reply.p || reply.p->width == 0 || reply.p->height == 0 || reply.p->width > MaxHintsIconSide ||
        reply.p->height > MaxHintsIconSide)
        return std::nullopt;
    return std::pair{QSize(reply.p->width, reply.p->height), int(reply.p->depth)};
}

struct ImageReply {
    Freed<xcb_get_image_reply_t> reply{nullptr};
    std::span<const std::uint8_t> data() const
    {
        if (!reply.p)
            return {};
        return {xcb_get_image_data(reply.p), std::size_t(xcb_get_image_data_length(reply.p))};
    }
};

} // namespace

std::optional<HintsPixmaps> parseHintsIcon(std::span<const std::uint32_t> hints)
{
    if (hints.size() <= IconPixmapWord || !(hints[0] & IconPixmapHint) || hints[IconPixmapWord] == 0)
        return std::nullopt;
    HintsPixmaps icon{hints[IconPixmapWord], 0};
    if ((hints[0] & IconMaskHint) && hints.size() > IconMaskWord)
        icon.mask = hints[IconMaskWord];
    return icon;
}

QImage pixmapImage(QSize size, const PixelLayout& layout, std::span<const std::uint8_t> data,
                   const PixelLayout* maskLayout, std::span<const std::uint8_t> mask)
{
    if (size.isEmpty() || size.width() > MaxHintsIconSide || size.height() > MaxHintsIconSide || !readable(layout))
        return {};
    const std::size_t line = stride(size.width(), layout);
    if (data.size() < line * std::size_t(size.height()))
        return {};
    const bool masked = maskLayout && maskLayout->depth == 1 && maskLayout->bitsPerPixel == 1 &&
                        mask.size() >= stride(size.width(), *maskLayout) * std::size_t(size.height());
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        const std::uint8_t* source = data.data() + line * std::size_t(y);
        const std::uint8_t* maskLine =
            masked ? mask.data() + stride(size.width(), *maskLayout) * std::size_t(y) : nullptr;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            out[x] = maskLine && !bit(maskLine, x, maskLayout->lsbFirst) ? 0 : pixel(source, x, layout);
    }
    return image;
}

std::vector<QImage> readHintsIcons(xcb_connection_t* c, const std::vector<HintsPixmaps>& icons)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    std::vector<std::pair<xcb_get_geometry_cookie_t, xcb_get_geometry_cookie_t>> shapes;
    for (const HintsPixmaps& icon : icons)
        shapes.emplace_back(xcb_get_geometry(c, icon.pixmap), xcb_get_geometry(c, icon.mask ? icon.mask : icon.pixmap));
    struct Read {
        QSize size;
        int depth = 0;
        bool mask = false;
        xcb_get_image_cookie_t image{}, maskImage{};
    };
    std::vector<Read> reads(icons.size());
    for (std::size_t i = 0; i < icons.size(); ++i) {
        auto shape = pixmapShape(c, shapes[i].first);
        auto maskShape = pixmapShape(c, shapes[i].second);
        if (!shape)
            continue;
        Read& r = reads[i];
        r.size = shape->first;
        r.depth = shape->second;
        r.mask = icons[i].mask && maskShape && maskShape->second == 1 && maskShape->first == r.size;
        r.image = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, icons[i].pixmap, 0, 0, std::uint16_t(r.size.width()),
                                std::uint16_t(r.size.height()), ~0u);
        if (r.mask)
            r.maskImage = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, icons[i].mask, 0, 0,
                                        std::uint16_t(r.size.width()), std::uint16_t(r.size.height()), ~0u);
    }
    std::vector<QImage> result(icons.size());
    const PixelLayout maskLayout = layoutFor(setup, 1);
    for (std::size_t i = 0; i < icons.size(); ++i) {
        const Read& r = reads[i];
        if (!r.depth)
            continue;
        Freed<xcb_generic_error_t> error{nullptr}, maskError{nullptr};
        ImageReply image{{xcb_get_image_reply(c, r.image, &error.p)}};
        ImageReply mask;
        if (r.mask)
            mask.reply.p = xcb_get_image_reply(c, r.maskImage, &maskError.p);
        result[i] = pixmapImage(r.size, layoutFor(setup, r.depth), image.data(), mask.reply.p ? &maskLayout : nullptr,
                                mask.data());
    }
    return result;
}

} // namespace zumo::x11
