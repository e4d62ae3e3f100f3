// Keysyms to the switcher's key codes and characters.
#include "desktop/wayland/WaylandKeys.h"

#include <array>
#include <xkbcommon/xkbcommon.h>

#include "platform/KeyCodes.h"

namespace zumo::wayland {

namespace {

struct Named {
    std::uint32_t keysym;
    std::int64_t code;
};

constexpr std::array<Named, 14> NamedKeys{{
    {XKB_KEY_Tab, keys::Tab},         {XKB_KEY_ISO_Left_Tab, keys::Tab}, {XKB_KEY_grave, keys::Grave},
    {XKB_KEY_section, keys::Section}, {XKB_KEY_space, keys::Space},     {XKB_KEY_Return, keys::Return},
    {XKB_KEY_KP_Enter, keys::Return}, {XKB_KEY_Escape, keys::Escape},   {XKB_KEY_BackSpace, keys::Delete},
    {XKB_KEY_Left, keys::Left},       {XKB_KEY_Right, keys::Right},     {XKB_KEY_Down, keys::Down},
    {XKB_KEY_Up, keys::Up},           {XKB_KEY_KP_Tab, keys::Tab},
}};

} // namespace

std::int64_t keyCodeFor(std::uint32_t level0, std::uint32_t keycode)
{
    for (const Named& named : NamedKeys)
        if (named.keysym == level0)
            return named.code;
    return OtherKeyBase + keycode;
}

bool isModifierKey(std::uint32_t level0)
{
    return (level0 >= XKB_KEY_Shift_L && level0 <= XKB_KEY_Hyper_R) || level0 == XKB_KEY_ISO_Level3_Shift;
}

QString charactersFor(std::uint32_t level0)
{
    const std::uint32_t code = xkb_keysym_to_utf32(level0);
    // Control characters (Tab, Return, Escape, BackSpace) type nothing a search could use.
    if (code < 0x20 || code == 0x7f)
        return {};
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1).toLower();
}

std::uint64_t flagsFor(bool shift, bool control, bool alt, bool super)
{
    return (shift ? keys::Shift : 0) | (control ? keys::Control : 0) | (alt ? keys::Option : 0) |
           (super ? keys::Command : 0);
}

} // namespace zumo::wayland
