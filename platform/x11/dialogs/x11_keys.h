// Key presses as the program sees them: Windows virtual-key codes and the
// Ctrl/Shift/Alt state, and the accelerator match of TranslateAcceleratorW.
#pragma once

#include "res/resource_types.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <span>

namespace kestrove::x11 {

namespace vk {
constexpr std::uint16_t kTab = 0x09;
constexpr std::uint16_t kReturn = 0x0D;
constexpr std::uint16_t kEscape = 0x1B;
constexpr std::uint16_t kSpace = 0x20;
constexpr std::uint16_t kUp = 0x26;
constexpr std::uint16_t kDown = 0x28;
constexpr std::uint16_t kApps = 0x5D;
constexpr std::uint16_t kF1 = 0x70;
constexpr std::uint16_t kF4 = 0x73;
constexpr std::uint16_t kF10 = 0x79;
} // namespace vk

struct KeyModifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    friend bool operator==(const KeyModifiers&, const KeyModifiers&) = default;
};

// The virtual-key code of the key, from its keycode's keysyms rather than
// what the modifiers make of it, so a digit of the main row is '1' whatever
// the modifiers and a keypad digit never is. 0 for keys the program has no
// use for.
std::uint16_t VirtualKeyOf(const XKeyEvent& key);
KeyModifiers ModifiersOf(const XKeyEvent& key);
// The letter or digit a key types without modifiers, for access keys
// (upper case); 0 when it is neither.
char16_t AccessCharacterOf(const XKeyEvent& key);

// The command of the first entry that matches the key exactly, as
// TranslateAcceleratorW matches virtual-key entries.
std::optional<std::uint16_t> MatchAccelerator(std::span<const res::AcceleratorEntry> table,
                                              std::uint16_t virtualKey, KeyModifiers modifiers);

} // namespace kestrove::x11
