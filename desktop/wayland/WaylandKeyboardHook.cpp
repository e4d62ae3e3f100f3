// Trigger presses from the control socket, keys and modifiers from the overlay's keyboard focus.
#include "desktop/wayland/WaylandKeyboardHook.h"

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <xkbcommon/xkbcommon.h>

#include "platform/KeyCodes.h"
#include "platform/Log.h"
#include "desktop/wayland/LayerOverlay.h"
#include "desktop/wayland/WaylandKeys.h"

namespace zumo::wayland {

namespace {

// A compositor whose bindings do not answer within this long no longer holds up the release.
constexpr int HoldLimitMs = 200;

} // namespace

WaylandKeyboardHook::WaylandKeyboardHook(WaylandConnection& connection, LayerOverlay& overlay)
    : m_connection(connection), m_overlay(overlay), m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    m_connection.setKeyboardListener(this);
}

WaylandKeyboardHook::~WaylandKeyboardHook()
{
    m_connection.setKeyboardListener(nullptr);
    xkb_state_unref(m_state);
    for (const auto& known : m_keymaps)
        xkb_keymap_unref(known.second);
    xkb_context_unref(m_context);
}

bool WaylandKeyboardHook::create(Handler handler)
{
    m_handler = std::move(handler);
    return true;
}

void WaylandKeyboardHook::destroy()
{
    setCapturing(false);
    panelsHidden();
    m_handler = {};
}

void WaylandKeyboardHook::setCapturing(bool capturing)
{
    if (capturing == m_capturing)
        return;
    m_capturing = capturing;
    if (!capturing)
        return;
    if (keyboardTaken)
        keyboardTaken();
    if (m_overlay.holdsKeyboard() && m_focused) {
        // The last run's overlay still holds the keyboard, so no enter event will tell the
        // modifiers: they are told on the next turn (not from inside the handler's call).
        QTimer::singleShot(0, &m_posted, [this] {
            if (m_capturing && m_focused)
                deliverKey({KeyEventType::FlagsChanged, 0, heldFlags(), {}});
        });
        return;
    }
    m_focused = false;
    m_overlay.holdKeyboard(true);
}

void WaylandKeyboardHook::panelsHidden()
{
    if (m_capturing) {
        m_overlay.clearFrame();
        return;
    }
    const bool hadKeyboard = std::exchange(m_focused, false);
    m_overlay.clearFrame();
    m_overlay.holdKeyboard(false);
    if (hadKeyboard && keyboardLetGo)
        keyboardLetGo();
}

bool WaylandKeyboardHook::trigger(bool reverse, std::size_t shortcut)
{
    if (!m_handler)
        return false;
    const HookShortcut main = shortcut < m_shortcuts.size() ? m_shortcuts[shortcut]
                              : m_shortcuts.empty()        ? HookShortcut{keys::Option, keys::Tab}
                                                           : m_shortcuts.front();
    m_runMask = main.mask;
    // The binding comes over another socket than the focus change just before it: read what the
    // compositor has said so far, so the window the user just focused counts as the front.
    m_connection.roundTrip();
    deliver({KeyEventType::KeyDown, main.key, main.mask | (reverse ? keys::Shift : 0), {}});
    return true;
}

bool WaylandKeyboardHook::triggerKeys(bool reverse, const HookShortcut& keys)
{
    const auto found = std::find(m_shortcuts.begin(), m_shortcuts.end(), keys);
    return trigger(reverse, found == m_shortcuts.end() ? 0 : std::size_t(found - m_shortcuts.begin()));
}

void WaylandKeyboardHook::deliver(const KeyEvent& event)
{
    if (m_handler)
        m_handler(event);
}

void WaylandKeyboardHook::deliverKey(const KeyEvent& event)
{
    if (m_holding) {
        m_held.push_back(event);
        return;
    }
    const bool releasesMain = event.type == KeyEventType::FlagsChanged && (event.flags & m_runMask) != m_runMask;
    if (!releasesMain || !afterBindings) {
        deliver(event);
        return;
    }
    m_holding = true;
    m_held.push_back(event);
    const std::uint64_t hold = ++m_hold;
    QPointer<QObject> alive(&m_posted);
    afterBindings([this, alive, hold] {
        if (alive)
            letHeldGo(hold);
    });
    QTimer::singleShot(HoldLimitMs, &m_posted, [this, hold] { letHeldGo(hold); });
}

void WaylandKeyboardHook::letHeldGo(std::uint64_t hold)
{
    if (!m_holding || hold != m_hold)
        return;
    m_holding = false;
    for (const KeyEvent& event : std::exchange(m_held, {}))
        deliver(event);
}

void WaylandKeyboardHook::keymap(const QByteArray& text)
{
    // The compositor sends the keymap again each time another keyboard types (a second keyboard,
    // a virtual one), often the same text: compiling it costs milliseconds, right before the
    // keys and the binding that follow it.
    auto known = std::find_if(m_keymaps.begin(), m_keymaps.end(), [&text](const auto& k) { return k.first == text; });
    if (known == m_keymaps.end()) {
        xkb_keymap* compiled = xkb_keymap_new_from_string(m_context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                          XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!compiled) {
            appLog(QStringLiteral("the compositor's keymap could not be read; the panel's keys stay unknown"));
            return;
        }
        if (m_keymaps.size() == KeptKeymaps) {
            xkb_keymap_unref(m_keymaps.front().second);
            m_keymaps.erase(m_keymaps.begin());
        }
        known = m_keymaps.insert(m_keymaps.end(), {text, compiled});
    }
    xkb_state_unref(m_state);
    m_keymap = known->second;
    m_state = xkb_state_new(m_keymap);
}

void WaylandKeyboardHook::entered(wl_surface* surface)
{
    m_focused = m_capturing && surface && surface == m_overlay.surface();
}

void WaylandKeyboardHook::left()
{
    // Forgotten also between runs: a run that starts while the overlay still holds the keyboard
    // would otherwise take modifiers it no longer hears about as current.
    const bool lost = m_capturing && m_focused;
    m_focused = false;
    if (!lost)
        return;
    appLog(QStringLiteral("another surface took the keyboard from the switcher"));
    deliverKey({KeyEventType::DisabledByUserInput, 0, 0, {}});
}

std::uint64_t WaylandKeyboardHook::heldFlags() const
{
    if (!m_state)
        return 0;
    const auto held = [this](const char* name) {
        return xkb_state_mod_name_is_active(m_state, name, XKB_STATE_MODS_DEPRESSED) > 0;
    };
    return flagsFor(held(XKB_MOD_NAME_SHIFT), held(XKB_MOD_NAME_CTRL), held(XKB_MOD_NAME_ALT), held(XKB_MOD_NAME_LOGO));
}

void WaylandKeyboardHook::modifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                                    std::uint32_t group)
{
    if (m_state)
        xkb_state_update_mask(m_state, depressed, latched, locked, 0, 0, group);
    // Every modifiers event while focused goes on, the first one too: it tells whether Alt was
    // already up when the overlay got the keyboard (a quick tap).
    if (m_capturing && m_focused)
        deliverKey({KeyEventType::FlagsChanged, 0, heldFlags(), {}});
}

void WaylandKeyboardHook::key(std::uint32_t key, bool pressed)
{
    if (!m_capturing || !m_focused || !m_keymap)
        return;
    const xkb_keycode_t keycode = key + 8;
    const xkb_keysym_t* syms = nullptr;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(m_state, keycode);
    const int count = xkb_keymap_key_get_syms_by_level(m_keymap, keycode, layout, 0, &syms);
    const std::uint32_t level0 = count > 0 ? syms[0] : XKB_KEY_NoSymbol;
    if (isModifierKey(level0))
        return;
    deliverKey({pressed ? KeyEventType::KeyDown : KeyEventType::KeyUp, keyCodeFor(level0, keycode), heldFlags(),
                charactersFor(level0)});
}

} // namespace zumo::wayland
