// Turns xkb keysyms and modifier states into the key codes, flag bits and characters the
// switcher speaks. Pure: no connection needed.
#pragma once

#include <QString>
#include <cstdint>

namespace zumo::wayland {

// Keys the switcher has no name for get OtherKeyBase + their xkb keycode, as on X11.
inline constexpr std::int64_t OtherKeyBase = 0x10000;

// The key code of a key whose unshifted (level-0) keysym is level0. Tab and ISO_Left_Tab are
// Tab, Return and KP_Enter are Return, BackSpace is Delete; unnamed keys get OtherKeyBase +
// keycode.
std::int64_t keyCodeFor(std::uint32_t level0, std::uint32_t keycode);
// Shift, Control, Alt, Meta, Super and Hyper keys: their changes arrive as modifier events.
bool isModifierKey(std::uint32_t level0);
// What the key types ignoring modifiers, lower-cased; empty for keys that type nothing.
QString charactersFor(std::uint32_t level0);
// Flag bits of KeyCodes.h for the modifiers held: Alt is Option, Super is Command.
std::uint64_t flagsFor(bool shift, bool control, bool alt, bool super);

} // namespace zumo::wayland
