// Measuring a scaled picture on an X server: a still pattern of fine lines
// and small text, the exact box-filter reduction of what the screen shows,
// and the peak signal-to-noise ratio between two pictures. Shared by the
// magnifier's tests and the benchmark.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kestrove::quality {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<double> channels; // r, g, b per pixel, row by row
};

// One-pixel lines at odd spacings and angles, and small text: what point
// sampling loses or turns into moiré. Drawn in black on `window`'s background.
inline void PaintFinePattern(Display* display, Window window, int width, int height) {
    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, BlackPixel(display, DefaultScreen(display)));
    for (int x = 0; x < width; x += 7) {
        XDrawLine(display, window, gc, x, 0, x + height / 3, height / 2);
    }
    for (int y = height / 2; y < height; y += 5) {
        XDrawLine(display, window, gc, 0, y, width, y + y % 3);
    }
    const std::string text = "The quick brown fox jumps over the lazy dog 0123456789";
    for (int y = 12; y < height / 2; y += 14) {
        XDrawString(display, window, gc, (y * 3) % 40, y, text.c_str(),
                    static_cast<int>(text.size()));
    }
    XFreeGC(display, gc);
    XSync(display, False);
}

inline Pixels Grab(Display* display, Drawable drawable, int x, int y, int width, int height) {
    Pixels picture{width, height, {}};
    XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return picture;
    }
    picture.channels.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            picture.channels.push_back(static_cast<double>((pixel >> 16) & 0xFF));
            picture.channels.push_back(static_cast<double>((pixel >> 8) & 0xFF));
            picture.channels.push_back(static_cast<double>(pixel & 0xFF));
        }
    }
    XDestroyImage(image);
    return picture;
}

// The exact average of each n x n block.
inline Pixels BoxDownscale(const Pixels& source, int n) {
    Pixels result{source.width / n, source.height / n, {}};
    for (int row = 0; row < result.height; ++row) {
        for (int column = 0; column < result.width; ++column) {
            for (int channel = 0; channel < 3; ++channel) {
                double sum = 0;
                for (int dy = 0; dy < n; ++dy) {
                    const auto line = static_cast<std::size_t>((row * n + dy) * source.width);
                    for (int dx = 0; dx < n; ++dx) {
                        sum +=
                            source.channels[(line + static_cast<std::size_t>(column * n + dx)) * 3 +
                                            static_cast<std::size_t>(channel)];
                    }
                }
                result.channels.push_back(sum / (n * n));
            }
        }
    }
    return result;
}

// In dB; infinite for equal pictures, 0 when the sizes differ.
inline double Psnr(const Pixels& a, const Pixels& b) {
    if (a.channels.size() != b.channels.size() || a.channels.empty()) {
        return 0.0;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.channels.size(); ++i) {
        const double error = a.channels[i] - b.channels[i];
        sum += error * error;
    }
    const double mean = sum / static_cast<double>(a.channels.size());
    return mean == 0 ? std::numeric_limits<double>::infinity()
                     : 10 * std::log10(255.0 * 255.0 / mean);
}

} // namespace kestrove::quality
