#include "platform/x11/dialogs/x11_keys.h"

#include <X11/keysym.h>

namespace kestrove::x11 {

std::uint16_t VirtualKeyOf(const XKeyEvent& key) {
    XKeyEvent plain = key;
    const KeySym sym = XLookupKeysym(&plain, 0);
    // The main row's digit keys are digits whichever level holds the digit
    // (layouts such as AZERTY put it on Shift); keypad keys never are.
    for (const KeySym level : {sym, XLookupKeysym(&plain, 1)}) {
        if (level >= XK_0 && level <= XK_9) {
            return static_cast<std::uint16_t>(0x30 + (level - XK_0));
        }
    }
    if (sym >= XK_a && sym <= XK_z) {
        return static_cast<std::uint16_t>(0x41 + (sym - XK_a));
    }
    if (sym >= XK_A && sym <= XK_Z) {
        return static_cast<std::uint16_t>(0x41 + (sym - XK_A));
    }
    if (sym >= XK_F1 && sym <= XK_F12) {
        return static_cast<std::uint16_t>(vk::kF1 + (sym - XK_F1));
    }
    if (sym >= XK_KP_0 && sym <= XK_KP_9) {
        return static_cast<std::uint16_t>(0x60 + (sym - XK_KP_0)); // VK_NUMPAD0..9
    }
    switch (sym) {
    case XK_Return:
    case XK_KP_Enter:
        return vk::kReturn;
    case XK_Escape:
        return vk::kEscape;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return vk::kTab;
    case XK_space:
        return vk::kSpace;
    case XK_Up:
        return vk::kUp;
    case XK_Down:
        return vk::kDown;
    case XK_Menu:
        return vk::kApps;
    default:
        return 0;
    }
}

KeyModifiers ModifiersOf(const XKeyEvent& key) {
    return {(key.state & ControlMask) != 0, (key.state & ShiftMask) != 0,
            (key.state & Mod1Mask) != 0};
}

char16_t AccessCharacterOf(const XKeyEvent& key) {
    const std::uint16_t code = VirtualKeyOf(key);
    return (code >= 0x30 && code <= 0x39) || (code >= 0x41 && code <= 0x5A)
               ? static_cast<char16_t>(code)
               : u'\0';
}

std::optional<std::uint16_t> MatchAccelerator(std::span<const res::AcceleratorEntry> table,
                                              std::uint16_t virtualKey, KeyModifiers modifiers) {
    if (virtualKey == 0) {
        return std::nullopt;
    }
    for (const res::AcceleratorEntry& entry : table) {
        // Entries without FVIRTKEY match typed characters, which the
        // program's table has none of.
        if ((entry.flags & res::FVIRTKEY) == 0 || entry.key != virtualKey) {
            continue;
        }
        const KeyModifiers wanted{(entry.flags & res::FCONTROL) != 0,
                                  (entry.flags & res::FSHIFT) != 0, (entry.flags & res::FALT) != 0};
        if (wanted == modifiers) {
            return entry.command;
        }
    }
    return std::nullopt;
}

} // namespace kestrove::x11
