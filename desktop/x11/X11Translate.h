// Pure translations of X window properties into window records: icons, types, states,
// geometry and the on-screen rule. No display needed; every function takes and returns values.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zumo::x11 {

// The window's role as the window manager knows it (_NET_WM_WINDOW_TYPE).
enum class WindowKind { Normal, Dialog, Other };

// Atom values the translations compare against; filled from the server's interned atoms.
struct KindAtoms {
    std::uint32_t normal = 0, dialog = 0;
};
struct StateAtoms {
    std::uint32_t hidden = 0, skipTaskbar = 0, sticky = 0;
};

struct WindowState {
    bool hidden = false;       // _NET_WM_STATE_HIDDEN (minimised)
    bool skipTaskbar = false;
    bool sticky = false;
    bool operator==(const WindowState&) const = default;
};

// _NET_FRAME_EXTENTS: the decoration around the client window.
struct FrameExtents {
    int left = 0, right = 0, top = 0, bottom = 0;
    bool operator==(const FrameExtents&) const = default;
};

// _NET_WM_DESKTOP value meaning "on every desktop".
constexpr std::uint32_t AllDesktops = 0xFFFFFFFF;
// ICCCM WM_STATE values.
constexpr std::uint32_t WithdrawnState = 0, NormalState = 1, IconicState = 3;

// The first listed type the window has that we know; no type at all is a normal window
// (EWMH says so for managed windows without transient-for).
WindowKind windowKind(std::span<const std::uint32_t> types, const KindAtoms& atoms);
// "AXStandardWindow", "AXDialog" or "AXUnknown".
QString subroleFor(WindowKind kind);

WindowState parseWindowState(std::span<const std::uint32_t> states, const StateAtoms& atoms);
// Minimised when the window manager marks it hidden or the client is iconic (WM_STATE).
bool isMinimised(const WindowState& state, std::optional<std::uint32_t> wmState);

// The sizes found in a _NET_WM_ICON value, in order; stops at the first malformed entry.
std::vector<QSize> iconSizes(std::span<const std::uint32_t> data);
// Index of the icon to show: the largest whose sides are at most `preferred`, else the smallest
// larger one. Nothing when the list is empty.
std::optional<std::size_t> chooseIcon(const std::vector<QSize>& sizes, int preferred = 64);
// Decodes the chosen icon of a _NET_WM_ICON value (width, height, then ARGB pixels, repeated),
// scaled down to fit `largest` when it is bigger (a lone 512 or 1024 px icon is kept, smaller).
// A null image when there is no well-formed icon; sides larger than 4096 count as malformed and
// are refused before anything is allocated for them.
QImage decodeIcon(std::span<const std::uint32_t> data, int preferred = 64, int largest = 128);

// WM_CLASS is "instance\0class\0"; either part may be missing.
struct WmClass {
    QString instance;
    QString className;
};
WmClass parseWmClass(const QByteArray& value);
// WM_NAME in Latin-1 (STRING) or UTF-8 (UTF8_STRING or anything else we cannot convert).
QString decodeText(const QByteArray& value, bool utf8);

FrameExtents parseFrameExtents(std::span<const std::uint32_t> values);
// The outer frame of a client whose inside lies at `client` (root coordinates).
QRect frameRect(const QRect& client, const FrameExtents& extents);
// The client size that gives an outer frame of `frameSize`; never below 1 x 1.
QSize clientSizeForFrame(const QSize& frameSize, const FrameExtents& extents);

// Shown on the current desktop: on it or on all of them (or sticky), and not minimised. A window
// without a desktop (a window manager without desktops) counts as on the current one.
bool isOnscreen(std::optional<std::uint32_t> desktop, std::uint32_t currentDesktop, const WindowState& state,
                bool minimised);

// The work area of a desktop from _NET_WORKAREA (x, y, width, height per desktop).
std::optional<QRect> workArea(std::span<const std::uint32_t> values, std::uint32_t desktop);

} // namespace zumo::x11
