// Translation between X key events and the switcher's key codes, flags and characters.
#include "desktop/x11/KeyTranslation.h"

#include <xkbcommon/xkbcommon.h>

#include "platform/KeyCodes.h"

namespace zumo::x11 {
namespace {

// Keysym values from the X protocol's keysym table.
namespace sym {
constexpr Keysym Space = 0x0020;
constexpr Keysym Section = 0x00a7;
constexpr Keysym IsoLeftTab = 0xfe20;
constexpr Keysym BackSpace = 0xff08;
constexpr Keysym Tab = 0xff09;
constexpr Keysym Return = 0xff0d;
constexpr Keysym Escape = 0xff1b;
constexpr Keysym Left = 0xff51;
constexpr Keysym Up = 0xff52;
constexpr Keysym Right = 0xff53;
constexpr Keysym Down = 0xff54;
constexpr Keysym KpSpace = 0xff80;
constexpr Keysym KpEnter = 0xff8d;
constexpr Keysym KpEqual = 0xffbd;
constexpr Keysym ShiftL = 0xffe1;
constexpr Keysym ShiftR = 0xffe2;
constexpr Keysym ControlL = 0xffe3;
constexpr Keysym ControlR = 0xffe4;
constexpr Keysym MetaL = 0xffe7;
constexpr Keysym MetaR = 0xffe8;
constexpr Keysym AltL = 0xffe9;
constexpr Keysym AltR = 0xffea;
constexpr Keysym SuperL = 0xffeb;
constexpr Keysym SuperR = 0xffec;
constexpr Keysym HyperL = 0xffed;
constexpr Keysym HyperR = 0xffee;
constexpr Keysym UnicodeBase = 0x01000000;
} // namespace sym

struct CodeOfKeysym {
    Keysym keysym;
    std::int64_t code;
};

constexpr CodeOfKeysym codeTable[] = {
    {sym::Tab, keys::Tab},         {sym::IsoLeftTab, keys::Tab}, {sym::Section, keys::Section},
    {sym::Space, keys::Space},     {sym::Return, keys::Return},
    {sym::KpEnter, keys::Return},  {sym::Escape, keys::Escape},  {sym::BackSpace, keys::Delete},
    {sym::Left, keys::Left},       {sym::Right, keys::Right},    {sym::Down, keys::Down},
    {sym::Up, keys::Up},
};

bool isKeypad(Keysym keysym)
{
    return keysym >= sym::KpSpace && keysym <= sym::KpEqual;
}

} // namespace

std::int64_t keyCodeFor(Keysym level0, Keycode keycode)
{
    if (keycode == GraveKeycode)
        return keys::Grave;
    for (const auto& entry : codeTable) {
        if (entry.keysym == level0)
            return entry.code;
    }
    return OtherKeyBase + keycode;
}

std::vector<Keycode> keycodesForKeyCode(std::int64_t code, Keycode first, Keycode last,
                                        const std::function<Keysym(Keycode)>& level0)
{
    std::vector<Keycode> found;
    if (code != keys::Tab && code != keys::Grave && code != keys::Section && code != keys::Space)
        return found;
    for (int key = first; key <= last; ++key) {
        if (keyCodeFor(level0(Keycode(key)), Keycode(key)) == code)
            found.push_back(Keycode(key));
    }
    return found;
}

std::uint64_t flagsFromState(std::uint16_t state)
{
    std::uint64_t flags = 0;
    if (state & xmask::Shift)
        flags |= keys::Shift;
    if (state & xmask::Control)
        flags |= keys::Control;
    if (state & xmask::Mod1)
        flags |= keys::Option;
    if (state & xmask::Mod4)
        flags |= keys::Command;
    return flags;
}

std::uint16_t xModifiersForMask(std::uint64_t mask)
{
    std::uint16_t modifiers = 0;
    if (mask & keys::Option)
        modifiers |= xmask::Mod1;
    if (mask & keys::Control)
        modifiers |= xmask::Control;
    return modifiers;
}

std::vector<std::uint16_t> grabVariants(std::uint16_t modifiers, std::uint16_t numLock)
{
    std::vector<std::uint16_t> variants{modifiers};
    const auto addWith = [&variants](std::uint16_t bit) {
        const std::size_t count = variants.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (!(variants[i] & bit))
                variants.push_back(variants[i] | bit);
        }
    };
    addWith(xmask::Shift);
    addWith(xmask::Lock);
    if (numLock != 0 && !(numLock & (modifiers | xmask::Shift | xmask::Lock)))
        addWith(numLock);
    return variants;
}

std::uint16_t modifierMaskOfKeys(std::span<const Keycode> modmap, int perModifier,
                                 std::span<const Keycode> keys)
{
    if (perModifier <= 0)
        return 0;
    std::uint16_t mask = 0;
    for (std::size_t i = 0; i < modmap.size() && i / std::size_t(perModifier) < 8; ++i) {
        if (modmap[i] == 0)
            continue;
        for (Keycode key : keys) {
            if (modmap[i] == key)
                mask |= std::uint16_t(1u << (i / std::size_t(perModifier)));
        }
    }
    return mask;
}

std::array<std::uint64_t, 256> keyFlagsFromModifierMap(std::span<const Keycode> modmap, int perModifier)
{
    // Rows in protocol order: Shift, Lock, Control, Mod1..Mod5.
    constexpr std::uint64_t flagOfRow[8] = {keys::Shift, 0, keys::Control, keys::Option,
                                            0,           0, keys::Command, 0};
    std::array<std::uint64_t, 256> flags{};
    if (perModifier <= 0)
        return flags;
    for (std::size_t i = 0; i < modmap.size() && i / std::size_t(perModifier) < 8; ++i) {
        if (modmap[i] != 0)
            flags[modmap[i]] |= flagOfRow[i / std::size_t(perModifier)];
    }
    return flags;
}

std::uint64_t modifierFlagOf(Keysym level0)
{
    switch (level0) {
    case sym::ShiftL:
    case sym::ShiftR:
        return keys::Shift;
    case sym::ControlL:
    case sym::ControlR:
        return keys::Control;
    case sym::AltL:
    case sym::AltR:
    case sym::MetaL:
    case sym::MetaR:
        return keys::Option;
    case sym::SuperL:
    case sym::SuperR:
    case sym::HyperL:
    case sym::HyperR:
        return keys::Command;
    default:
        return 0;
    }
}

QString charactersFor(Keysym keysym)
{
    // xkbcommon knows the characters of the legacy keysyms too (Cyrillic_a, Greek_alpha, ecaron).
    const char32_t codePoint = xkb_keysym_to_utf32(keysym);
    if (codePoint == 0 || (codePoint >= 0xd800 && codePoint <= 0xdfff) || codePoint > 0x10ffff)
        return {};
    if (codePoint < 0x20 || (codePoint >= 0x7f && codePoint < 0xa0))
        return {};
    return QString::fromUcs4(&codePoint, 1).toLower();
}

QString charactersFor(Keysym level0, Keysym level1, bool shift)
{
    if (shift || (isKeypad(level0) && isKeypad(level1))) {
        const QString typed = charactersFor(level1);
        if (!typed.isEmpty())
            return typed;
    }
    return charactersFor(level0);
}

void ModifierKeys::setKeyFlags(const std::array<std::uint64_t, 256>& flagOfKey)
{
    m_flagOfKey = flagOfKey;
}

void ModifierKeys::setFromKeymap(std::span<const std::uint8_t, 32> keymap)
{
    m_down.reset();
    for (std::size_t key = 0; key < 256; ++key) {
        if (keymap[key / 8] & (1u << (key % 8)))
            m_down.set(key);
    }
}

void ModifierKeys::press(Keycode key)
{
    m_down.set(key);
}

void ModifierKeys::release(Keycode key)
{
    m_down.reset(key);
}

std::uint64_t ModifierKeys::held() const
{
    std::uint64_t flags = 0;
    for (std::size_t key = 0; key < 256; ++key) {
        if (m_down.test(key))
            flags |= m_flagOfKey[key];
    }
    return flags;
}

KeyEvent translateKey(const XKey& key, const ModifierKeys& down)
{
    KeyEvent event;
    event.keyCode = keyCodeFor(key.level0, key.keycode);
    event.flags = flagsFromState(key.state);
    const std::uint64_t own = down.flagOf(key.keycode);
    if (own != 0) {
        event.type = KeyEventType::FlagsChanged;
        // X reports the state before the event; the switcher wants it after.
        if (key.press)
            event.flags |= own;
        else if (!(down.held() & own))
            event.flags &= ~own;
        return event;
    }
    event.type = key.press ? KeyEventType::KeyDown : KeyEventType::KeyUp;
    event.characters = charactersFor(key.level0, key.level1, key.state & xmask::Shift);
    return event;
}

} // namespace zumo::x11
