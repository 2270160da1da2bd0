// The Linux entry: open the X display, install the platform, run the
// application object.
#include "framework/application.h"
#include "platform/platform.h"
#include "platform/x11/vanished_object_errors.h"
#include "platform/x11/x11_platform.h"

#include <X11/Xlib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

kestrove::x11::ExtensionCodes g_extensionCodes;

// Windows and monitors can vanish under us (a monitor unplugged, a window
// destroyed by another client): the requests that this makes fail are
// expected, and the program goes on. Any other error is a fault: say which,
// and go on as well.
int OnXError(Display* display, XErrorEvent* error) {
    if (kestrove::x11::IsVanishedObjectError(*error, g_extensionCodes)) {
        return 0;
    }
    char text[256] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "Kestrove: X error: %s (request %d.%d, resource 0x%lx)\n", text,
                 error->request_code, error->minor_code, error->resourceid);
    return 0;
}

[[noreturn]] int OnXIoError(Display*) {
    std::fflush(stdout);
    std::fputs("Kestrove: lost the connection to the X display\n", stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // Xlib converts window names through the locale's character set.
    std::setlocale(LC_CTYPE, "");
    // The monitor lines go out as they are written, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        if (name == nullptr || *name == '\0') {
            std::fputs("Kestrove: cannot open X display (DISPLAY is not set)\n", stderr);
        } else {
            std::fprintf(stderr, "Kestrove: cannot open X display '%s'\n", name);
        }
        return 1;
    }
    g_extensionCodes = kestrove::x11::QueryExtensionCodes(display);
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIoError);

    kestrove::Application* app = kestrove::Application::Current();
    if (app == nullptr) {
        std::fputs("Kestrove: no application object\n", stderr);
        XCloseDisplay(display);
        return 1;
    }
    int status = 0;
    {
        kestrove::x11::X11Platform platform(display,
                                            std::vector<std::string>(argv + 1, argv + argc));
        kestrove::SetThePlatform(&platform);
        status = app->Run();
        kestrove::SetThePlatform(nullptr);
    }
    XCloseDisplay(display);
    return status;
}
