// Clicks the primary button at a place of KWin's desktop (logical
// coordinates), through KWin's fake-input protocol, as a pointing device
// would: KDE's screen-share dialog is a Wayland window that no X client can
// click.
//
//   kestrove_fake_input_click X Y
//
// KWin offers the protocol only to an executable named in a desktop file's
// X-KDE-Wayland-Interfaces (kde_chain.sh writes one for this program).
#include "fake-input.h"

#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr std::uint32_t kLeftButton = 0x110; // BTN_LEFT
constexpr std::uint32_t kPointerMotionAbsoluteSince = 3;

struct Globals {
    org_kde_kwin_fake_input* fakeInput = nullptr;
};

void Announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
        version >= kPointerMotionAbsoluteSince) {
        static_cast<Globals*>(data)->fakeInput =
            static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry, name, &org_kde_kwin_fake_input_interface, kPointerMotionAbsoluteSince));
    }
}

void Withdraw(void*, wl_registry*, std::uint32_t) {}

bool ReadCoordinate(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace

int main(int argc, char** argv) {
    double x = 0;
    double y = 0;
    if (argc != 3 || !ReadCoordinate(argv[1], x) || !ReadCoordinate(argv[2], y)) {
        std::fprintf(stderr, "usage: %s X Y\n", argv[0]);
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "fake input: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    const wl_registry_listener listener{Announce, Withdraw};
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    if (globals.fakeInput == nullptr) {
        std::fprintf(stderr, "fake input: the compositor does not offer %s (version %u) to %s\n",
                     org_kde_kwin_fake_input_interface.name, kPointerMotionAbsoluteSince, argv[0]);
        wl_display_disconnect(display);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(globals.fakeInput, "Kestrove tests",
                                         "clicks the screen-share dialog");
    org_kde_kwin_fake_input_pointer_motion_absolute(globals.fakeInput, wl_fixed_from_double(x),
                                                    wl_fixed_from_double(y));
    wl_display_roundtrip(display);
    // The window under the pointer takes the press only once it has been
    // told the pointer entered it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    org_kde_kwin_fake_input_button(globals.fakeInput, kLeftButton, WL_POINTER_BUTTON_STATE_PRESSED);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    org_kde_kwin_fake_input_button(globals.fakeInput, kLeftButton,
                                   WL_POINTER_BUTTON_STATE_RELEASED);
    const int status = wl_display_roundtrip(display) < 0 ? 1 : 0;
    org_kde_kwin_fake_input_destroy(globals.fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return status;
}
