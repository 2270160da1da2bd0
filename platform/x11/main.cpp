// The Linux entry: open the X display, install the platform, run the
// application object.
#include "framework/application.h"
#include "platform/platform.h"
#include "platform/x11/x11_platform.h"

#include <X11/Xlib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Windows and monitors can vanish under us (a monitor unplugged, a window
// destroyed by another client); such a request fails and the program goes
// on. Other errors are worth a line, but no more than that.
int OnXError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable ||
        error->error_code == BadMatch) {
        return 0;
    }
    char text[256] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "Kestrove: X error: %s (request %d.%d)\n", text, error->request_code,
                 error->minor_code);
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
