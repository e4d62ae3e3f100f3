// The control socket's words: one request line from a client, a status line and a body back.
// Pure functions, so what a client may send is decided and tested without a socket.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/KeyboardHook.h"

namespace zumo {

// A request is one line, at most this long with its line feed; anything longer is refused
// before it is read further, so a client cannot make the running switcher hold much memory.
inline constexpr qsizetype MaxRequestBytes = 256;

enum class ControlVerb { sync, list, activate, showSettings, next, prev, checkUpdates };

struct ControlRequest {
    ControlVerb verb = ControlVerb::sync;
    std::uint32_t window = 0;  // activate only
    int tab = 0;               // activate only: the window's tab by its number in --list, else 0
    HookShortcut keys{};       // next and prev only: the binding's keys when it named them
    bool operator==(const ControlRequest&) const = default;
};

// Either a request or a sentence saying what is wrong with the line.
struct ParsedRequest {
    std::optional<ControlRequest> request;
    QString error;
};

// One line without its line feed: "sync", "list", "activate <id> [<tab>]" (decimal or 0x-hex X
// window id, not 0; a tab number from 1), "show-settings", "check-updates", or "next" / "prev"
// (the compositor's binding for the switcher's shortcut, on Wayland), maybe with the binding's
// keys ("next alt+grave": modifiers, then tab, grave, space or section, joined by "+", any
// case); words separated by single spaces.
ParsedRequest parseRequest(QByteArrayView line);
// The line a client sends for request, with its line feed.
QByteArray requestLine(const ControlRequest& request);

// A reply is "ok" or "error <sentence>" on the first line, then the body (ok only).
QByteArray okReply(const QByteArray& body = {});
QByteArray errorReply(const QString& message);

struct ControlReply {
    bool ok = false;
    QString error;    // when !ok
    QByteArray body;  // when ok
};
// Nothing when data does not start with a complete status line.
std::optional<ControlReply> parseReply(const QByteArray& data);

// One row of `zumo --list`, as the switcher would show it now.
struct ListedRow {
    int row = 0;  // 1 for the first row; the number keys 1-9 jump to rows 1-9
    std::optional<std::uint32_t> window;
    QString app;  // the application's name, else its bundle id
    QString bundleId;
    QString title;
    std::optional<std::uint32_t> desktop;  // absent for windows on every desktop or unknown
    bool minimized = false;
    // Where the row's icon comes from: "window" (_NET_WM_ICON), "theme" (its .desktop entry),
    // "hints" (WM_HINTS pixmap) or "letter" (none: the initial drawn on a tile).
    QString icon = QStringLiteral("letter");
    // A browser tab's row: the window it is in (when known) and whether it is that window's
    // selected tab. Absent for every other row.
    struct Tab {
        std::optional<std::uint32_t> window;
        int number = 0;  // 1 for the window's first tab; what "activate <window> <tab>" takes
        bool selected = false;
    };
    std::optional<Tab> tab;
};
// One compact JSON object and a line feed.
QByteArray listLine(const ListedRow& row);

} // namespace zumo
