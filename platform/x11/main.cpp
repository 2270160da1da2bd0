// The Linux entry: open the X display, install the platform, run the
// application object.
#include "common/error_line.h"
#include "framework/application.h"
#include "platform/platform.h"
#include "platform/x11/x11_backend.h"

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
    kestrove::PrintErrorLine("X error: " + std::string(text) + " (request " +
                             std::to_string(error->request_code) + "." +
                             std::to_string(error->minor_code) + ")");
    return 0;
}

[[noreturn]] int OnXIoError(Display*) {
    kestrove::PrintErrorLine("lost the connection to the X display");
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
            kestrove::PrintErrorLine("cannot open X display (DISPLAY is not set)");
        } else {
            kestrove::PrintErrorLine("cannot open X display '" + std::string(name) + "'");
        }
        return 1;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIoError);

    kestrove::Application* app = kestrove::Application::Current();
    if (app == nullptr) {
        kestrove::PrintErrorLine("no application object");
        XCloseDisplay(display);
        return 1;
    }
    int status = 0;
    {
        kestrove::x11::X11Backend backend(display, std::vector<std::string>(argv + 1, argv + argc));
        kestrove::SetThePlatform(&backend.platform());
        status = app->Run();
        kestrove::SetThePlatform(nullptr);
    }
    XCloseDisplay(display);
    return status;
}
