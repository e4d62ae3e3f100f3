// Turns X key events into the key codes, flag bits and characters the switcher speaks, and
// shortcuts back into the X keys and modifier masks to grab. Pure: no X connection needed.
#pragma once

#include <QString>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/KeyboardHook.h"

namespace zumo::x11 {

using Keysym = std::uint32_t;
using Keycode = std::uint8_t;

// X core modifier mask bits, as carried in a key event's state field.
namespace xmask {
inline constexpr std::uint16_t Shift = 0x01;
inline constexpr std::uint16_t Lock = 0x02;
inline constexpr std::uint16_t Control = 0x04;
inline constexpr std::uint16_t Mod1 = 0x08;
inline constexpr std::uint16_t Mod2 = 0x10;
inline constexpr std::uint16_t Mod4 = 0x40;
} // namespace xmask

// Keys the switcher has no name for get OtherKeyBase + their X keycode: never one of the
// codes of KeyCodes.h, and two different keys never share a code.
inline constexpr std::int64_t OtherKeyBase = 0x10000;

// The keysym of the Num Lock key, whose modifier bit differs between keymaps.
inline constexpr Keysym NumLockKeysym = 0xff7f;

// The key left of 1 (TLDE; grave on US keyboards, § on some ISO ones, ^ on German, ² on French)
// in both the evdev and the older xfree86 keycode sets. The grave shortcut is that key, whatever
// it types, so it works on every layout.
inline constexpr Keycode GraveKeycode = 49;

// The key code of a key whose unshifted keysym in the active group is `level0`. The key left of
// 1 is grave; Tab and ISO_Left_Tab are Tab, Return and KP_Enter are Return; every other unnamed
// key gets OtherKeyBase + keycode.
std::int64_t keyCodeFor(Keysym level0, Keycode keycode);

// The keys between `first` and `last` that translate to a shortcut key code (Tab, grave, section,
// space), given each key's level-0 keysym; empty for codes that cannot be grabbed.
std::vector<Keycode> keycodesForKeyCode(std::int64_t code, Keycode first, Keycode last,
                                        const std::function<Keysym(Keycode)>& level0);

// Flag bits of an X state mask: Shift, Control, Mod1 (Alt) → Option, Mod4 (Super) → Command.
// Lock, NumLock and the other modifiers carry no flag.
std::uint64_t flagsFromState(std::uint16_t state);

// The X modifiers of a shortcut mask: Option → Mod1, Control → Control. Other bits are dropped.
std::uint16_t xModifiersForMask(std::uint64_t mask);

// Every modifier state a grab of `modifiers` must also cover: with Shift (which reverses a
// shortcut) and with Caps Lock and/or Num Lock on. `modifiers` comes first, no duplicates.
// A numLock of 0 (Num Lock not mapped) or one overlapping `modifiers` adds no Num Lock states.
std::vector<std::uint16_t> grabVariants(std::uint16_t modifiers, std::uint16_t numLock);

// Which modifier bit carries one of `keys`, from a GetModifierMapping reply (8 rows of
// `perModifier` keycodes, 0 for an empty place); 0 when none of them is mapped.
std::uint16_t modifierMaskOfKeys(std::span<const Keycode> modmap, int perModifier,
                                 std::span<const Keycode> keys);

// The flag each keycode stands for, from a GetModifierMapping reply: keys on the Shift,
// Control, Mod1 and Mod4 rows give Shift, Control, Option and Command, just as the state
// bits do while they are down; keys on the Lock and other rows give none.
std::array<std::uint64_t, 256> keyFlagsFromModifierMap(std::span<const Keycode> modmap, int perModifier);

// The flag bit a modifier key stands for, when there is no modifier mapping to go by: Shift_L/R → Shift,
// Control_L/R → Control, Alt_L/R and Meta_L/R → Option, Super_L/R and Hyper_L/R → Command; 0 for every other
// key (Caps Lock, Num Lock and AltGr included).
std::uint64_t modifierFlagOf(Keysym level0);

// The text a keysym types, lower-cased: every keysym with a character (Latin, Cyrillic, Greek,
// Unicode, the keypad's digits and operators); empty for keys that type nothing (Tab, Return,
// arrows, modifiers, function keys).
QString charactersFor(Keysym keysym);

// The text a key types ignoring every modifier but Shift, from its level-0 and level-1 keysyms in
// the active group: Shift counts, as it does in the platform's "ignoring modifiers" text, since
// many layouts type "/" or the digits only with Shift. A keypad key types its Num Lock level
// (KP_End → "1"), so keypad digits jump like the top row whether Num Lock is on or not.
QString charactersFor(Keysym level0, Keysym level1, bool shift);

// Which modifier keys are down, by keycode; a left and a right key count separately, so
// releasing one of them keeps the modifier held while the other is down.
class ModifierKeys {
public:
    // The flag each keycode stands for (see modifierFlagOf); 0 for ordinary keys.
    void setKeyFlags(const std::array<std::uint64_t, 256>& flagOfKey);
    // Replaces what is down with a QueryKeymap bit vector (bit k of byte k/8 is keycode k).
    void setFromKeymap(std::span<const std::uint8_t, 32> keymap);
    void press(Keycode key);
    void release(Keycode key);
    std::uint64_t flagOf(Keycode key) const { return m_flagOfKey[key]; }
    // The modifier flags of the keys down.
    std::uint64_t held() const;

private:
    std::array<std::uint64_t, 256> m_flagOfKey{};
    std::bitset<256> m_down;
};

// One X key event as the server reports it.
struct XKey {
    Keycode keycode = 0;
    Keysym level0 = 0;       // the key's unshifted keysym in the active group
    std::uint16_t state = 0; // the modifiers BEFORE the event, as X reports them
    bool press = true;
    Keysym level1 = 0;       // its shifted (on the keypad: Num Lock) keysym in the active group
};

// What the handler sees of an X key event. `down` must already include the event (the key
// pressed or released). Modifier keys become FlagsChanged, other keys KeyDown/KeyUp with
// their characters. The flags are those AFTER the event: a Shift press adds Shift; releasing
// an Alt removes Option unless another Alt key is still down.
KeyEvent translateKey(const XKey& key, const ModifierKeys& down);

} // namespace zumo::x11
