// A plain managed X window (class "KestroveProbe"), as another program would
// open on the desktop: of one colour, or of four, one a quarter (top left,
// top right, bottom left, bottom right) so that its orientation can be read.
// Runs until killed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

unsigned long Pixel(Display* display, const char* hex) {
    const unsigned long rgb = std::strtoul(hex, nullptr, 16);
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 0x101);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 0x101);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 0x101);
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &colour);
    return colour.pixel;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: %s RRGGBB [RRGGBB RRGGBB RRGGBB]\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "%s: cannot open the X display\n", argv[0]);
        return 1;
    }
    std::vector<unsigned long> quarters;
    for (int i = 1; i < argc; ++i) {
        quarters.push_back(Pixel(display, argv[i]));
    }
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0,
                                        quarters.front());
    XClassHint hint{const_cast<char*>("probe"), const_cast<char*>("KestroveProbe")};
    XSetClassHint(display, window, &hint);
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapWindow(display, window);
    GC gc = XCreateGC(display, window, 0, nullptr);
    int width = 400;
    int height = 300;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify) {
            width = event.xconfigure.width;
            height = event.xconfigure.height;
        }
        if (quarters.size() == 4 && (event.type == Expose || event.type == ConfigureNotify)) {
            const int halfWidth = width / 2;
            const int halfHeight = height / 2;
            for (int q = 0; q < 4; ++q) {
                XSetForeground(display, gc, quarters[static_cast<std::size_t>(q)]);
                const int left = q % 2 == 0 ? 0 : halfWidth;
                const int top = q < 2 ? 0 : halfHeight;
                XFillRectangle(display, window, gc, left, top,
                               static_cast<unsigned>(q % 2 == 0 ? halfWidth : width - halfWidth),
                               static_cast<unsigned>(q < 2 ? halfHeight : height - halfHeight));
            }
            XFlush(display);
        }
    }
}
