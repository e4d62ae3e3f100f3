// Composite redirection and input shapes for a window of Qt's connection, sent on that
// connection so they are ordered with Qt's own map, drawing and unmap of the window.
#include "desktop/x11/PanelWindowControl.h"

#include "desktop/x11/MapExposes.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/composite.h>
#include <xcb/shape.h>

namespace zumo::x11 {

namespace {

bool present(xcb_connection_t* c, xcb_extension_t* extension)
{
    const xcb_query_extension_reply_t* reply = xcb_get_extension_data(c, extension);
    return reply && reply->present;
}

WindowSwitch drawOffscreen(xcb_connection_t* c)
{
    if (!present(c, &xcb_composite_id))
        return {};
    auto* version = xcb_composite_query_version_reply(c, xcb_composite_query_version(c, 0, 2), nullptr);
    if (!version)
        return {};
    std::free(version);
    return [c](std::uint32_t window, bool on) {
        if (on) {
            // Refused when another client already redirects the window (a compositor started
            // since): it is drawn whole then anyway. Checked, so Qt does not report the refusal.
            std::free(xcb_request_check(
                c, xcb_composite_redirect_window_checked(c, window, XCB_COMPOSITE_REDIRECT_MANUAL)));
            return;
        }
        // Nothing to undo when the redirection was refused or the window is gone.
        xcb_discard_reply(c, xcb_composite_unredirect_window_checked(c, window, XCB_COMPOSITE_REDIRECT_MANUAL).sequence);
        xcb_flush(c);
    };
}

WindowSwitch passPointer(xcb_connection_t* c)
{
    if (!present(c, &xcb_shape_id))
        return {};
    return [c](std::uint32_t window, bool on) {
        if (on)
            xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0, 0,
                                 nullptr);
        else  // back to the default, the window's own shape
            xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window, 0, 0, XCB_NONE);
        xcb_flush(c);
    };
}

WindowSwitch paintOnceAtMap()
{
    // One filter for the application's lifetime; Qt hands events to it on the main thread only.
    static MapExposes* filter = [] {
        auto* made = new MapExposes;
        qGuiApp->installNativeEventFilter(made);
        return made;
    }();
    return [](std::uint32_t window, bool on) {
        if (on)
            filter->watch(window);
        else
            filter->forget(window);
    };
}

} // namespace

PanelWindowControl panelWindowControl()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    return {drawOffscreen(c), passPointer(c), paintOnceAtMap()};
}

} // namespace zumo::x11
