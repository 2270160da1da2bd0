#include "tests/portal/window_pixels.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <memory>

namespace kestrove::e2e {
namespace {

std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long bits = mask >> shift;
    return static_cast<std::uint8_t>(((pixel >> shift) & bits) * 255 / bits);
}

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

std::optional<Image> WindowPixels(const std::string& display, Window window) {
    std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(XOpenDisplay(display.c_str()),
                                                                  XCloseDisplay);
    if (!connection)
        return std::nullopt;
    auto previous = XSetErrorHandler(IgnoreErrors);
    XWindowAttributes attributes{};
    XImage* image = nullptr;
    if (XGetWindowAttributes(connection.get(), window, &attributes) != 0)
        image = XGetImage(connection.get(), window, 0, 0, static_cast<unsigned>(attributes.width),
                          static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    XSync(connection.get(), False);
    XSetErrorHandler(previous);
    if (!image)
        return std::nullopt;
    Image result{attributes.width, attributes.height, {}};
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.pixels.push_back(Rgb{Channel(pixel, image->red_mask),
                                        Channel(pixel, image->green_mask),
                                        Channel(pixel, image->blue_mask)});
        }
    XDestroyImage(image);
    return result;
}

} // namespace kestrove::e2e
