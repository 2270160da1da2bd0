// Properties that other clients write on the root window or on their own
// windows (the window manager, any program at all) are untrusted: any type,
// format, length or value. Kestrove reads them only through here, and
// anything it does not expect reads as "not published".
#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrove::x11 {

// What XGetWindowProperty answered, before any of it is believed.
struct RawProperty {
    Atom type = None;
    int format = 0; // as claimed: 8, 16 or 32, or 0 when the property is not set
    unsigned long items = 0;
    unsigned long bytesAfter = 0;        // what is left beyond the part read
    std::span<const unsigned char> data; // the bytes received; format 32 items are longs
};

using Cardinals = std::vector<std::uint32_t>;

// The 32-bit items of a property of type `type` and format 32 that holds no
// more than `maxItems` items and has all of them in `data`; nullopt for
// anything else (unset, another type or format, too long, cut short).
std::optional<Cardinals> DecodeCardinals(const RawProperty& property, Atom type,
                                         std::size_t maxItems);

// Reads `property` of `window` and decodes it as DecodeCardinals does; asks
// the server for no more than `maxItems` items, so a huge property costs
// nothing. nullopt also when the window is gone.
std::optional<Cardinals> ReadCardinals(Display* display, Window window, Atom property, Atom type,
                                       std::size_t maxItems);

} // namespace kestrove::x11
