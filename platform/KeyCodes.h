// Key codes and modifier bits the switcher speaks. Every keyboard backend translates its
// native events into these values, so the decisions above it are the same on every desktop.
#pragma once

#include <cstdint>

namespace zumo::keys {

// Virtual key codes.
inline constexpr std::int64_t Tab = 48;
inline constexpr std::int64_t Grave = 50;
inline constexpr std::int64_t Section = 10;
inline constexpr std::int64_t Space = 49;
inline constexpr std::int64_t Return = 36;
inline constexpr std::int64_t Escape = 53;
inline constexpr std::int64_t Delete = 51;
inline constexpr std::int64_t Left = 123;
inline constexpr std::int64_t Right = 124;
inline constexpr std::int64_t Down = 125;
inline constexpr std::int64_t Up = 126;

// Modifier flag bits.
inline constexpr std::uint64_t Shift = 0x20000;
inline constexpr std::uint64_t Control = 0x40000;
inline constexpr std::uint64_t Option = 0x80000;
inline constexpr std::uint64_t Command = 0x100000;
// The modifiers a shortcut is made of; Shift and Command never are.
inline constexpr std::uint64_t ShortcutMask = Control | Option;

} // namespace zumo::keys
