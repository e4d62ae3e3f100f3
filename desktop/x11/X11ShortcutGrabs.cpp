// Grabbing the shortcuts on the root: every key that types them, every lock-key variant, each
// grab checked, and a sentence for the user when another program got there first.
#include "desktop/x11/X11ShortcutGrabs.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Log.h"

namespace zumo::x11 {

void X11ShortcutGrabs::grab(xcb_connection_t* c, xcb_window_t root, const std::vector<HookShortcut>& shortcuts,
                            const KeycodesOf& keycodesOf, std::uint16_t numLock,
                            const std::vector<HookShortcut>& stillTaken)
{
    ungrab(c, root);
    std::vector<HookShortcut> nowTaken;
    for (const HookShortcut& shortcut : shortcuts) {
        const bool held = std::find(stillTaken.begin(), stillTaken.end(), shortcut) != stillTaken.end();
        if (held || !grabShortcut(c, root, shortcut, keycodesOf, numLock))
            nowTaken.push_back(shortcut);
    }
    m_taken = std::move(nowTaken);
    xcb_flush(c);
}

bool X11ShortcutGrabs::retake(xcb_connection_t* c, xcb_window_t root, const KeycodesOf& keycodesOf,
                              std::uint16_t numLock)
{
    std::vector<HookShortcut> stillTaken;
    for (const HookShortcut& shortcut : m_taken) {
        if (!grabShortcut(c, root, shortcut, keycodesOf, numLock)) {
            stillTaken.push_back(shortcut);
            continue;
        }
        const QString name = shortcutName(shortcut);
        appLog(QStringLiteral("%1 is free now; the switcher opens with it").arg(name));
        // Taken once more later, it is worth saying so again.
        m_logged.removeIf([&name](const QString& message) { return message.startsWith(name + u' '); });
    }
    const bool regained = stillTaken.size() != m_taken.size();
    m_taken = std::move(stillTaken);
    xcb_flush(c);
    return regained;
}

void X11ShortcutGrabs::ungrab(xcb_connection_t* c, xcb_window_t root)
{
    for (const KeyGrab& grab : m_grabs)
        xcb_ungrab_key(c, grab.key, root, grab.modifiers);
    m_grabs.clear();
}

// Grabs every key and modifier state of one shortcut; false when another program holds it.
bool X11ShortcutGrabs::grabShortcut(xcb_connection_t* c, xcb_window_t root, const HookShortcut& shortcut,
                                    const KeycodesOf& keycodesOf, std::uint16_t numLock)
{
    const QString name = shortcutName(shortcut);
    const std::uint16_t modifiers = xModifiersForMask(shortcut.mask);
    if (modifiers == 0) {
        logOnce(QStringLiteral("%1 ignored as a shortcut: without Ctrl or Alt it would take the key "
                               "from every program")
                    .arg(name));
        return true;
    }
    const std::vector<Keycode> keycodes = keycodesOf(shortcut.key);
    if (keycodes.empty()) {
        logOnce(QStringLiteral("%1 cannot be used: no key of this keyboard layout types it; choose "
                               "another shortcut")
                    .arg(name));
        return true;
    }
    const Outcome outcome = grabKeys(c, root, keycodes, modifiers, numLock);
    if (outcome.plainTaken) {
        logOnce(QStringLiteral("%1 is already taken by another program; the switcher will not open with "
                               "it — choose another shortcut or close that program")
                    .arg(name));
        return false;
    }
    if (outcome.variantTaken) {
        logOnce(QStringLiteral("%1 is taken by another program while Shift, Caps Lock or Num Lock is on; "
                               "the switcher may not open with it then — choose another shortcut or "
                               "close that program")
                    .arg(name));
        return false;
    }
    return true;
}

X11ShortcutGrabs::Outcome X11ShortcutGrabs::grabKeys(xcb_connection_t* c, xcb_window_t root,
                                                     const std::vector<Keycode>& keycodes, std::uint16_t modifiers,
                                                     std::uint16_t numLock)
{
    struct Attempt {
        KeyGrab grab;
        xcb_void_cookie_t cookie;
    };
    std::vector<Attempt> attempts;
    for (Keycode key : keycodes) {
        for (std::uint16_t variant : grabVariants(modifiers, numLock)) {
            // Synchronous: the keyboard waits until the handler says whether to hand the press on.
            attempts.push_back(
                {{key, variant},
                 xcb_grab_key_checked(c, 0, root, variant, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC)});
        }
    }
    Outcome outcome;
    for (const Attempt& attempt : attempts) {
        xcb_generic_error_t* error = xcb_request_check(c, attempt.cookie);
        if (!error) {
            const bool known = std::any_of(m_grabs.begin(), m_grabs.end(), [&](const KeyGrab& g) {
                return g.key == attempt.grab.key && g.modifiers == attempt.grab.modifiers;
            });
            if (!known)
                m_grabs.push_back(attempt.grab);
            continue;
        }
        std::free(error);
        (attempt.grab.modifiers == modifiers ? outcome.plainTaken : outcome.variantTaken) = true;
    }
    return outcome;
}

void X11ShortcutGrabs::logOnce(const QString& message)
{
    if (m_logged.contains(message))
        return;
    m_logged.insert(message);
    appLog(message);
}

} // namespace zumo::x11
