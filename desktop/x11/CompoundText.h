// Window titles in COMPOUND_TEXT, the encoding older X clients (xterm and other Xt programs)
// give WM_NAME in, converted by Xlib, which knows its character sets.
#pragma once

#include <QByteArray>
#include <optional>

namespace zumo::x11 {

// A COMPOUND_TEXT property value as UTF-8 bytes, through Xlib on Qt's X display; none without
// one or when Xlib cannot convert it. Main thread. (Xlib's macros stay inside this file.)
std::optional<QByteArray> compoundTextToUtf8(const QByteArray& value);

} // namespace zumo::x11
