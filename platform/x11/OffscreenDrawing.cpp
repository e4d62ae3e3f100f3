// Composite redirection of a window of Qt's connection, sent on that connection so it is ordered
// with Qt's own map, drawing and unmap of the window.
#include "platform/x11/OffscreenDrawing.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/composite.h>

namespace zumo::x11 {

DrawOffscreen offscreenDrawing()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_composite_id);
    if (!extension || !extension->present)
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

} // namespace zumo::x11
