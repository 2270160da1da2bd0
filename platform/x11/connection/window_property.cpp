#include "platform/x11/connection/window_property.h"

#include <cstring>
#include <limits>

namespace kestrove::x11 {

std::optional<Cardinals> DecodeCardinals(const RawProperty& property, Atom type,
                                         std::size_t maxItems) {
    if (property.type != type || property.format != 32 || property.bytesAfter != 0 ||
        property.items > maxItems ||
        property.items > std::numeric_limits<std::size_t>::max() / sizeof(long) ||
        property.data.size() < property.items * sizeof(long)) {
        return std::nullopt;
    }
    // Xlib hands format 32 items over as longs; the protocol's items are
    // 32-bit cardinals, whatever the long's upper half holds.
    Cardinals values(property.items);
    for (std::size_t i = 0; i < values.size(); ++i) {
        long item = 0;
        std::memcpy(&item, property.data.data() + i * sizeof(long), sizeof(long));
        values[i] = static_cast<std::uint32_t>(static_cast<unsigned long>(item) & 0xffffffffUL);
    }
    return values;
}

std::optional<Cardinals> ReadCardinals(Display* display, Window window, Atom property, Atom type,
                                       std::size_t maxItems) {
    if (property == None || maxItems > static_cast<std::size_t>(std::numeric_limits<long>::max())) {
        return std::nullopt;
    }
    RawProperty raw;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, window, property, 0, static_cast<long>(maxItems), False, type,
                           &raw.type, &raw.format, &raw.items, &raw.bytesAfter, &data);
    if (status != Success) {
        return std::nullopt; // also a window that is gone: the error handler hears of it
    }
    std::optional<Cardinals> values;
    if (data != nullptr) {
        // Xlib's buffer holds `items` units of the claimed format, longs for 32.
        const std::size_t unit = raw.format == 32   ? sizeof(long)
                                 : raw.format == 16 ? sizeof(short)
                                                    : 1;
        raw.data = {data, raw.items * unit};
        values = DecodeCardinals(raw, type, maxItems);
        XFree(data);
    }
    return values;
}

} // namespace kestrove::x11
