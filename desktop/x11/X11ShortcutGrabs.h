// The passive grabs of the shortcuts on the root window, with their Shift and lock-key
// variants, and one log line for each shortcut that cannot be used and why.
#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>
#include <xcb/xcb.h>

#include "platform/KeyboardHook.h"
#include "desktop/x11/KeyTranslation.h"

namespace zumo::x11 {

class X11ShortcutGrabs {
public:
    // The keys that stand for a shortcut key code on the keyboard as it is now.
    using KeycodesOf = std::function<std::vector<Keycode>(std::int64_t code)>;

    // Replaces every grab of ours on root with grabs for shortcuts (waiting for the server's
    // answer to each). numLock is the modifier bit Num Lock sets. A shortcut without Ctrl or
    // Alt, or one no key types, is skipped with a log line. Shortcuts in `stillTaken` are not
    // tried and stay taken: after a keymap change every client grabs again at the same moment,
    // and trying then could take a key from its holder by timing alone. Returns once the grabs
    // are checked.
    void grab(xcb_connection_t* c, xcb_window_t root, const std::vector<HookShortcut>& shortcuts,
              const KeycodesOf& keycodesOf, std::uint16_t numLock, const std::vector<HookShortcut>& stillTaken = {});
    // Tries again the shortcuts another program held at the last try, keeping every other grab
    // as it is; logs each one taken back. Returns whether any was.
    bool retake(xcb_connection_t* c, xcb_window_t root, const KeycodesOf& keycodesOf, std::uint16_t numLock);
    // Lets go of every grab of ours.
    void ungrab(xcb_connection_t* c, xcb_window_t root);
    // Lets go of every grab of ours and counts `shortcuts` as held by another program from now on.
    void letGo(xcb_connection_t* c, xcb_window_t root, const std::vector<HookShortcut>& shortcuts)
    {
        ungrab(c, root);
        m_taken = shortcuts;
        xcb_flush(c);
    }
    // The connection is gone, and its grabs with it.
    void forget() { m_grabs.clear(); }
    // New shortcuts: their problems are worth a log line again.
    void resetLog() { m_logged.clear(); }
    // The shortcuts whose grab another program holds, as of the last grab().
    const std::vector<HookShortcut>& taken() const { return m_taken; }

private:
    struct KeyGrab {
        Keycode key = 0;
        std::uint16_t modifiers = 0;
    };
    struct Outcome {
        bool plainTaken = false;   // the combination itself
        bool variantTaken = false; // only with Shift or a lock on
    };
    bool grabShortcut(xcb_connection_t* c, xcb_window_t root, const HookShortcut& shortcut,
                      const KeycodesOf& keycodesOf, std::uint16_t numLock);
    Outcome grabKeys(xcb_connection_t* c, xcb_window_t root, const std::vector<Keycode>& keycodes,
                     std::uint16_t modifiers, std::uint16_t numLock);
    void logOnce(const QString& message);

    std::vector<KeyGrab> m_grabs;
    std::vector<HookShortcut> m_taken;
    QSet<QString> m_logged;  // problems already reported for the current shortcuts
};

} // namespace zumo::x11
