// A plain managed X window of one colour (class "KestroveProbe"), as another
// program would open on the desktop. Runs until killed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RRGGBB\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 1;
    }
    const unsigned long rgb = std::strtoul(argv[1], nullptr, 16);
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 0x101);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 0x101);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 0x101);
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &colour);
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0,
                                        colour.pixel);
    XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("KestroveProbe")};
    XSetClassHint(display, window, &hint);
    XMapWindow(display, window);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
