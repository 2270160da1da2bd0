// The Linux entry: open the X display, install the platform, run the
// application object.
#include "common/error_line.h"
#include "platform/platform.h"
#include "platform/x11/connection/vanished_object_errors.h"
#include "platform/x11/connection/x11_backend.h"
#include "program/framework/application.h"

#include <X11/Xlib.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

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
    char where[80] = {};
    std::snprintf(where, sizeof where, " (request %d.%d, resource 0x%lx)", error->request_code,
                  error->minor_code, error->resourceid);
    kestrove::PrintErrorLine("X error: " + std::string(text) + where);
    return 0;
}

[[noreturn]] int OnXIoError(Display*) {
    kestrove::PrintErrorLine("lost the connection to the X display");
    std::_Exit(1);
}

} // namespace

int main() {
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
    g_extensionCodes = kestrove::x11::QueryExtensionCodes(display);
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
        kestrove::x11::X11Backend backend(display);
        kestrove::SetThePlatform(&backend.platform());
        status = app->Run();
        kestrove::SetThePlatform(nullptr);
    }
    // Everything asked of the server is done before the process goes; the
    // connection itself is left to the process's end. XCloseDisplay first
    // drops the extensions' per-display records, then waits for the server:
    // an extension event arriving then (a cursor change from XFixes) makes
    // the extension set itself up again under the display lock it already
    // holds, and the process hangs for ever.
    XSync(display, False);
    return status;
}
