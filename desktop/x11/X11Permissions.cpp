// Permission answers of an X11 session.
#include "desktop/x11/X11Permissions.h"

#include <cstdlib>

#include "desktop/x11/X11Connection.h"

namespace zumo::x11 {

namespace {

bool getImageWorks(X11Connection& x)
{
    xcb_get_image_cookie_t cookie =
        xcb_get_image(x.xcb(), XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), 0, 0, 1, 1, ~0u);
    xcb_generic_error_t* error = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(x.xcb(), cookie, &error);
    bool works = reply != nullptr;
    std::free(reply);
    std::free(error);
    return works;
}

} // namespace

X11Permissions::X11Permissions(X11Connection* connection) : m_x(connection)
{
    if (m_x && m_x->alive())
        m_capture = m_x->compositeAvailable() || getImageWorks(*m_x);
}

bool X11Permissions::accessibilityTrusted() const
{
    return m_x && m_x->alive();
}

bool X11Permissions::compositorRunning() const
{
    return m_x && m_x->compositorRunning();
}

} // namespace zumo::x11
