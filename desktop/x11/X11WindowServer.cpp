// Window records from the model, and captures over a dedicated X connection.
#include "desktop/x11/X11WindowServer.h"

#include <cstdlib>
#include <cstring>
#include <xcb/composite.h>

#include "desktop/x11/X11WindowModel.h"

namespace zumo::x11 {

namespace {

template <typename T> struct Freed {
    T* p;
    ~Freed() { std::free(p); }
};

} // namespace

std::vector<WindowRecord> windowRecords(const DesktopSnapshot& snapshot)
{
    std::vector<WindowRecord> records;
    records.reserve(snapshot.windows.size());
    for (auto it = snapshot.windows.rbegin(); it != snapshot.windows.rend(); ++it) {
        const X11Window& w = **it;
        WindowRecord record;
        record.ownerPid = w.owner;
        record.layer = w.kind == WindowKind::Other ? 1 : 0;
        record.number = w.id;
        if (!w.client.isEmpty())
            record.bounds = QRectF(w.frame());
        record.onscreen = snapshot.onscreen(w);
        record.alpha = 1.0;
        record.name = w.title;
        records.push_back(std::move(record));
    }
    return records;
}

QImage imageFromZPixmap(const std::uint8_t* data, std::size_t length, int width, int height, int depth,
                        int bitsPerPixel, bool lsbFirst)
{
    if (!data || width <= 0 || height <= 0 || bitsPerPixel != 32 || !lsbFirst || (depth != 24 && depth != 32))
        return {};
    const std::size_t stride = std::size_t(width) * 4;
    if (length < stride * std::size_t(height))
        return {};
    QImage image(width, height, depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), data + stride * std::size_t(y), stride);
    return image;
}

X11WindowServer::X11WindowServer(X11WindowModel& model, QByteArray display)
    : m_model(model), m_display(std::move(display))
{
}

X11WindowServer::~X11WindowServer()
{
    if (m_capture)
        xcb_disconnect(m_capture);
}

std::vector<WindowRecord> X11WindowServer::windowList()
{
    return windowRecords(*m_model.snapshot());
}

bool X11WindowServer::connect()
{
    if (m_capture && !xcb_connection_has_error(m_capture))
        return true;
    if (m_capture)
        xcb_disconnect(m_capture);  // the server went away and perhaps came back
    m_capture = xcb_connect(m_display.isEmpty() ? nullptr : m_display.constData(), nullptr);
    if (xcb_connection_has_error(m_capture))
        return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_capture, &xcb_composite_id);
    m_composite = extension && extension->present;
    if (m_composite) {
        Freed<xcb_composite_query_version_reply_t> version{
            xcb_composite_query_version_reply(m_capture, xcb_composite_query_version(m_capture, 0, 2), nullptr)};
        m_composite = version.p != nullptr;
    }
    return true;
}

QImage X11WindowServer::capture(std::uint32_t windowNumber)
{
    if (windowNumber == 0)
        return {};
    std::lock_guard lock(m_mutex);
    if (!connect())
        return {};
    return captureLocked(windowNumber);
}

QImage X11WindowServer::captureLocked(xcb_window_t window)
{
    xcb_connection_t* c = m_capture;
    Freed<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr)};
    if (!geometry.p || geometry.p->width == 0 || geometry.p->height == 0)
        return {};
    // A window redirected by a compositor keeps its full contents in a pixmap even when covered;
    // an unredirected one refuses, and its on-screen pixels are read instead.
    xcb_drawable_t source = window;
    xcb_pixmap_t pixmap = XCB_NONE;
    if (m_composite) {
        pixmap = xcb_generate_id(c);
        Freed<xcb_generic_error_t> error{
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, window, pixmap))};
        if (error.p)
            pixmap = XCB_NONE;
        else
            source = pixmap;
    }
    Freed<xcb_get_image_reply_t> image{xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, source, 0, 0, geometry.p->width, geometry.p->height, ~0u),
        nullptr)};
    if (pixmap != XCB_NONE)
        xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
    if (!image.p)
        return {};
    const xcb_setup_t* setup = xcb_get_setup(c);
    int bitsPerPixel = 0;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == image.p->depth)
            bitsPerPixel = it.data->bits_per_pixel;
    return imageFromZPixmap(xcb_get_image_data(image.p), std::size_t(xcb_get_image_data_length(image.p)),
                            geometry.p->width, geometry.p->height, image.p->depth, bitsPerPixel,
                            setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST);
}

} // namespace zumo::x11
