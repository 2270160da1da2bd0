#include "platform/x11/dialogs/x11_paint.h"

#include <X11/Xutil.h>

#include <bit>

namespace kestrove::x11 {

namespace {

unsigned long Scale(unsigned long channel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    return ((channel >> (8 - bits)) << shift) & mask;
}

template <typename Draw>
void WithGc(Display* display, int screen, Drawable drawable, unsigned long rgb, Draw&& draw) {
    XGCValues values{};
    values.foreground = PixelOf(display, screen, rgb);
    GC gc = XCreateGC(display, drawable, GCForeground, &values);
    draw(gc);
    XFreeGC(display, gc);
}

} // namespace

unsigned long PixelOf(Display* display, int screen, unsigned long rgb) {
    Visual* visual = DefaultVisual(display, screen);
    const unsigned long r = (rgb >> 16) & 0xFF;
    const unsigned long g = (rgb >> 8) & 0xFF;
    const unsigned long b = rgb & 0xFF;
    if (visual->c_class == TrueColor) {
        return Scale(r, visual->red_mask) | Scale(g, visual->green_mask) |
               Scale(b, visual->blue_mask);
    }
    XColor color{};
    color.red = static_cast<unsigned short>(r * 0x101);
    color.green = static_cast<unsigned short>(g * 0x101);
    color.blue = static_cast<unsigned short>(b * 0x101);
    if (XAllocColor(display, DefaultColormap(display, screen), &color) == 0) {
        return rgb > 0x7F7F7F ? WhitePixel(display, screen) : BlackPixel(display, screen);
    }
    return color.pixel;
}

void FillRect(Display* display, int screen, Drawable drawable, int x, int y, int width, int height,
              unsigned long rgb) {
    if (width <= 0 || height <= 0) {
        return;
    }
    WithGc(display, screen, drawable, rgb, [&](GC gc) {
        XFillRectangle(display, drawable, gc, x, y, static_cast<unsigned>(width),
                       static_cast<unsigned>(height));
    });
}

void DrawFrame(Display* display, int screen, Drawable drawable, int x, int y, int width, int height,
               unsigned long rgb) {
    if (width <= 1 || height <= 1) {
        return;
    }
    WithGc(display, screen, drawable, rgb, [&](GC gc) {
        XDrawRectangle(display, drawable, gc, x, y, static_cast<unsigned>(width - 1),
                       static_cast<unsigned>(height - 1));
    });
}

void DrawFocusRect(Display* display, int screen, Drawable drawable, int x, int y, int width,
                   int height) {
    if (width <= 1 || height <= 1) {
        return;
    }
    WithGc(display, screen, drawable, colors::kFocusDots, [&](GC gc) {
        XSetLineAttributes(display, gc, 0, LineOnOffDash, CapButt, JoinMiter);
        const char dots[] = {1, 1};
        XSetDashes(display, gc, 0, dots, 2);
        XDrawRectangle(display, drawable, gc, x, y, static_cast<unsigned>(width - 1),
                       static_cast<unsigned>(height - 1));
    });
}

} // namespace kestrove::x11
