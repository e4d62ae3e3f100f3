// Binding presses, keys and modifiers from the extension's keyboard hold.
#include "desktop/gnome/GnomeKeyboardHook.h"

#include <algorithm>
#include <xkbcommon/xkbcommon.h>

#include "desktop/gnome/ShellBridge.h"
#include "desktop/wayland/WaylandKeys.h"
#include "platform/KeyCodes.h"

namespace zumo::gnome {

namespace {

// Clutter's modifier bits (the X11 ones, plus the virtual Super, Hyper and Meta).
constexpr std::uint32_t ShiftMask = 1u << 0, ControlMask = 1u << 2, Mod1Mask = 1u << 3, Mod4Mask = 1u << 6,
                        SuperMask = 1u << 26, MetaMask = 1u << 28;

} // namespace

std::uint64_t flagsForClutter(std::uint32_t mask)
{
    return wayland::flagsFor(mask & ShiftMask, mask & ControlMask, mask & (Mod1Mask | MetaMask),
                             mask & (Mod4Mask | SuperMask));
}

GnomeKeyboardHook::GnomeKeyboardHook(ShellBridge& bridge) : m_bridge(bridge)
{
    m_subscriptions.push_back(bridge.switchPressed.subscribe([this](bool reverse, int monitor, bool group) {
        pressed(reverse, monitor, group);
    }));
    m_subscriptions.push_back(bridge.key.subscribe([this](std::uint32_t sym, std::uint32_t code, bool down, std::uint32_t mods) {
        key(sym, code, down, mods);
    }));
    m_subscriptions.push_back(bridge.modifiers.subscribe([this](std::uint32_t mods) {
        if (m_capturing)
            deliver({KeyEventType::FlagsChanged, 0, flagsForClutter(mods), {}});
    }));
    m_subscriptions.push_back(bridge.grabLost.subscribe([this] {
        if (m_capturing)
            deliver({KeyEventType::DisabledByUserInput, 0, 0, {}});
    }));
    // A Shell restarted, or the extension enabled late, hears that Zumo wants the bindings.
    m_subscriptions.push_back(bridge.presence.subscribe([this](bool present) {
        if (present && m_handler)
            takeShortcuts();
        // The extension went away (turned off, the Shell restarting) with the keyboard.
        if (!present && m_capturing)
            deliver({KeyEventType::DisabledByUserInput, 0, 0, {}});
    }));
}

GnomeKeyboardHook::~GnomeKeyboardHook()
{
    destroy();
}

bool GnomeKeyboardHook::create(Handler handler)
{
    m_handler = std::move(handler);
    takeShortcuts();
    return true;
}

void GnomeKeyboardHook::setShortcuts(const std::vector<HookShortcut>& shortcuts)
{
    const bool groupBefore = groupShortcut().has_value();
    m_shortcuts = shortcuts;
    if (m_handler && groupShortcut().has_value() != groupBefore)
        takeShortcuts();
}

std::optional<HookShortcut> GnomeKeyboardHook::groupShortcut() const
{
    if (m_shortcuts.empty())
        return std::nullopt;
    const HookShortcut group{m_shortcuts.front().mask, keys::Grave};
    if (std::find(m_shortcuts.begin(), m_shortcuts.end(), group) == m_shortcuts.end())
        return std::nullopt;
    return group;
}

// An extension older than the group binding refuses its method and keeps the Shell's own.
void GnomeKeyboardHook::takeShortcuts()
{
    m_bridge.call(QStringLiteral("TakeShortcuts"), {true});
    m_bridge.call(QStringLiteral("TakeGroupShortcut"), {groupShortcut().has_value()});
}

void GnomeKeyboardHook::destroy()
{
    if (!m_handler)
        return;
    setCapturing(false);
    panelsHidden();
    m_bridge.call(QStringLiteral("TakeShortcuts"), {false});
    m_handler = {};
}

void GnomeKeyboardHook::setCapturing(bool capturing)
{
    if (capturing == m_capturing)
        return;
    m_capturing = capturing;
    // The extension answers with the modifiers held, so a tap already over commits at once.
    if (capturing)
        m_bridge.call(QStringLiteral("Grab"));
}

void GnomeKeyboardHook::panelsHidden()
{
    m_bridge.call(QStringLiteral("HidePanel"));
    if (!m_capturing)
        m_bridge.call(QStringLiteral("Release"));
}

void GnomeKeyboardHook::pressed(bool reverse, int monitor, bool group)
{
    m_pressMonitor = monitor;
    const HookShortcut main = group && groupShortcut() ? *groupShortcut()
                              : m_shortcuts.empty()   ? HookShortcut{keys::Option, keys::Tab}
                                                      : m_shortcuts.front();
    deliver({KeyEventType::KeyDown, main.key, main.mask | (reverse ? keys::Shift : 0), {}});
    // The extension took the keyboard at the press; a press that opened no run gives it back.
    if (!m_capturing)
        m_bridge.call(QStringLiteral("Release"));
}

void GnomeKeyboardHook::key(std::uint32_t keysym, std::uint32_t keycode, bool pressed, std::uint32_t modifiers)
{
    if (!m_capturing)
        return;
    const std::uint32_t level0 = xkb_keysym_to_lower(keysym);
    if (wayland::isModifierKey(level0)) {
        deliver({KeyEventType::FlagsChanged, 0, flagsForClutter(modifiers), {}});
        return;
    }
    deliver({pressed ? KeyEventType::KeyDown : KeyEventType::KeyUp, wayland::keyCodeFor(level0, keycode),
             flagsForClutter(modifiers), wayland::charactersFor(level0)});
}

void GnomeKeyboardHook::deliver(const KeyEvent& event)
{
    if (m_handler)
        m_handler(event);
}

} // namespace zumo::gnome
