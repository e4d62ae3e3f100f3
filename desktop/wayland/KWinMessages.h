// What Zumo's script inside KWin and Zumo say to each other, as values: the script's JSON
// messages read into records, Zumo's requests written as the JSON the script reads. Pure.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zumo::wayland {

// The script registers a pair of actions (forward, reverse) for each of the first this many of
// the switcher's shortcuts: the main one, the per-application one and two extra.
constexpr std::size_t KWinScriptShortcuts = 4;

// One window as the script reports it.
struct KWinWindow {
    QString id;  // KWin's internal id (a UUID in text)
    QString title;
    QString appId;  // the desktop file name, else the window class
    std::int32_t process = 0;  // 0 where KWin does not know it
    bool minimized = false;
    std::uint32_t desktop = 0;  // from 1; 0 on every desktop
    bool active = false;
    std::uint64_t order = 0;  // the script's activation stamp; 0 never activated while it ran
    QRect frame;
};

struct KWinMessage {
    enum class Kind { unreadable, windows, window, removed, activated, desktop, shortcut, pong };
    Kind kind = Kind::unreadable;
    std::vector<KWinWindow> windows;  // windows: all of them; window: the one added or changed
    QString id;                       // removed, activated: the window
    std::uint32_t desktop = 0;        // windows, desktop: the current desktop
    std::size_t shortcut = 0;         // shortcut: its place in the switcher's shortcut list
    bool reverse = false;             // shortcut: with Shift
    std::uint64_t serial = 0;         // pong: the ping's
};

// A message the script posted; unreadable for text that is not one (it may come from any program
// on the session bus, so nothing in it is trusted beyond its shape).
KWinMessage readKWinMessage(const QByteArray& json);

struct KWinRequest {
    enum class Kind { list, activate, close, minimize, desktop, ping, frame };
    Kind kind = Kind::list;
    QString id = {};            // activate, close, minimize
    bool on = false;            // minimize: true to minimise, false to restore
    std::uint32_t desktop = 0;  // desktop
    std::uint64_t serial = 0;   // ping
    QRect frame = {};           // frame
};

// The requests as the JSON array the script carries out in order.
QByteArray kwinRequestsText(const std::vector<KWinRequest>& requests);

} // namespace zumo::wayland
