#include "platform/x11/dialogs/x11_dpi.h"

#include <cmath>
#include <cstdlib>

namespace kestrove::x11 {

namespace {
constexpr int kDefaultDotsPerInch = 96;
constexpr int kIconSizeAtDefault = 32;
} // namespace

int DesktopDotsPerInch(Display* display) {
    const char* value = XGetDefault(display, "Xft", "dpi");
    if (value == nullptr) {
        return kDefaultDotsPerInch;
    }
    char* end = nullptr;
    const double dpi = std::strtod(value, &end);
    if (end == value || *end != '\0' || !(dpi >= 24.0 && dpi <= 1200.0)) {
        return kDefaultDotsPerInch;
    }
    return static_cast<int>(std::lround(dpi));
}

int IconSize(Display* display) {
    return MulDiv(kIconSizeAtDefault, DesktopDotsPerInch(display), kDefaultDotsPerInch);
}

int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace kestrove::x11
