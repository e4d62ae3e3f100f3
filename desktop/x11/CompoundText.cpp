// COMPOUND_TEXT to UTF-8 through Xlib's converters.
#include "desktop/x11/CompoundText.h"

#include <QGuiApplication>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace zumo::x11 {

namespace {

Display* qtDisplay()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

std::optional<QByteArray> compoundTextToUtf8(const QByteArray& value)
{
    Display* display = qtDisplay();
    if (!display || value.isEmpty())
        return std::nullopt;
    static const Atom compoundText = XInternAtom(display, "COMPOUND_TEXT", False);
    QByteArray text = value;  // Xlib wants a mutable buffer
    XTextProperty property{reinterpret_cast<unsigned char*>(text.data()), compoundText, 8,
                           static_cast<unsigned long>(text.size())};
    char** list = nullptr;
    int count = 0;
    const int status = Xutf8TextPropertyToTextList(display, &property, &list, &count);
    if (status < Success || !list || count < 1) {
        if (list)
            XFreeStringList(list);
        return std::nullopt;
    }
    // Unconvertible characters (status > 0) come back as the locale's default character.
    QByteArray utf8(list[0]);
    XFreeStringList(list);
    return utf8;
}

} // namespace zumo::x11
