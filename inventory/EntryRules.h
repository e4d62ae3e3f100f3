// The pure decisions of the entry list: which applications count, which window-server record
// is which window, which records are windows on other desktops, and what a row holds.
#pragma once

#include <QImage>
#include <QMap>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "inventory/Entry.h"

namespace zumo {

using TakenNumbers = std::set<std::uint32_t>;

// A regular, live application other than this program that no rule maps to "hide". Two empty
// bundle ids count as equal, so when this program has none, nameless applications are left out.
bool isSwitchable(const RunningApp& app, const QString& ownBundleId, const QMap<QString, QString>& modes);

// The value as a window number; nothing when missing or outside 32-bit unsigned range.
std::optional<std::uint32_t> windowNumber(const std::optional<std::int64_t>& value);

// The two frames differ by strictly less than 3 points in each of x, y, width and height.
bool framesMatch(const QRectF& a, const QRectF& b);

// The layer-0 records of each owner, in list order; records without an owner or a layer, or
// with an owner outside the pid range, are dropped.
std::unordered_map<Pid, std::vector<WindowRecord>> recordsByOwner(const std::vector<WindowRecord>& list);

// The number of the first record not yet taken whose bounds match frame; it is added to taken.
// Nothing when no record matches.
std::optional<std::uint32_t> takeWindowNumber(const std::vector<WindowRecord>& records, const QRectF& frame,
                                              TakenNumbers& taken);

// A record worth listing as a window on another desktop: a valid number not taken, not on
// screen, not fully transparent, and bounds wider than 120 and taller than 80 points.
bool isOtherSpaceWindow(const WindowRecord& record, const TakenNumbers& taken);

// A row with a fresh id, the app, title and icon; everything else empty.
Entry makeEntry(const RunningApp& app, const QString& title, const QImage& icon);

// The one row an application gets in one-row-per-app mode: its name, and the window and
// minimised flag of its first row (when it has rows).
Entry appRow(const RunningApp& app, const QImage& icon, const std::vector<Entry>& rows);

} // namespace zumo
