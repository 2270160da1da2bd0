#include "platform/x11/dialogs/work_area.h"

#include <X11/Xatom.h>

#include <cstdint>
#include <limits>

namespace kestrove::x11 {

std::optional<Rect> SelectWorkArea(const std::optional<Cardinals>& currentDesktop,
                                   const std::optional<Cardinals>& areas) {
    // A current desktop that is not one index is as good as none.
    const std::size_t desktop =
        currentDesktop && currentDesktop->size() == 1 ? (*currentDesktop)[0] : 0;
    if (!areas || areas->empty() || areas->size() % 4 != 0 || desktop >= areas->size() / 4) {
        return std::nullopt;
    }
    const std::int64_t x = (*areas)[4 * desktop];
    const std::int64_t y = (*areas)[4 * desktop + 1];
    const std::int64_t right = x + (*areas)[4 * desktop + 2];
    const std::int64_t bottom = y + (*areas)[4 * desktop + 3];
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    if (right > kLargest || bottom > kLargest) {
        return std::nullopt;
    }
    return Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
}

std::optional<Rect> ReadWorkArea(Display* display, Window root) {
    // Atoms nobody has interned yet name properties nobody has set.
    const Atom current = XInternAtom(display, "_NET_CURRENT_DESKTOP", True);
    const Atom workArea = XInternAtom(display, "_NET_WORKAREA", True);
    if (workArea == None) {
        return std::nullopt;
    }
    std::optional<Cardinals> desktop;
    if (current != None) {
        // One item is the answer; read two to tell a longer list apart.
        desktop = ReadCardinals(display, root, current, XA_CARDINAL, 2);
    }
    return SelectWorkArea(desktop,
                          ReadCardinals(display, root, workArea, XA_CARDINAL, 4 * kMaxDesktops));
}

} // namespace kestrove::x11
