#include "bench/mirror_watch.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include <poll.h>

namespace kestrove::bench {

namespace {

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// The frame number (modulo 64) the marker shows in a mirror at (x, y) that
// reduces the source by `factor`, if it can be read.
std::optional<int> ReadMarker(Display* display, Drawable drawable, int x, int y, int factor) {
    const int blockWidth = kMarkerBlockWidth / factor;
    const int blockHeight = kMarkerBlockHeight / factor;
    if (blockWidth < 2 || blockHeight < 2) {
        return std::nullopt;
    }
    constexpr int rows = (kMarkerBits + kMarkerColumns - 1) / kMarkerColumns;
    XImage* image =
        XGetImage(display, drawable, x, y, static_cast<unsigned>(blockWidth * kMarkerColumns),
                  static_cast<unsigned>(blockHeight * rows), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return std::nullopt;
    }
    int value = 0;
    for (int bit = 0; bit < kMarkerBits; ++bit) {
        // The block's centre, away from what the filters blend in from its neighbours.
        const unsigned long pixel =
            XGetPixel(image, bit % kMarkerColumns * blockWidth + blockWidth / 2,
                      bit / kMarkerColumns * blockHeight + blockHeight / 2);
        const unsigned long green = (pixel >> 8) & 0xFF;
        if (green > 128) {
            value |= 1 << bit;
        }
    }
    XDestroyImage(image);
    return value;
}

} // namespace

int CountFrames(Display* display, Window window, std::chrono::milliseconds duration) {
    int eventBase = 0;
    int errorBase = 0;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        return 0;
    }
    const Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    // The server reports the whole window once when the Damage is made: no drawing.
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event{};
        XNextEvent(display, &event);
    }
    int frames = 0;
    std::optional<Clock::time_point> last;
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        while (XPending(display) > 0) {
            XEvent event{};
            XNextEvent(display, &event);
            if (event.type != eventBase + XDamageNotify) {
                continue;
            }
            const auto now = Clock::now();
            if (!last || now - *last > std::chrono::milliseconds(4)) {
                ++frames;
            }
            last = now;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 1);
    }
    XDamageDestroy(display, damage);
    XSync(display, False);
    return frames;
}

Latency MeasureLatency(Display* display, int x, int y, int factor, SourceAnimation& source,
                       std::chrono::milliseconds duration, Window readFrom) {
    const Drawable drawable = readFrom != None ? readFrom : DefaultRootWindow(display);
    std::vector<double> latencies;
    std::size_t unresolved = source.frameTimes().size();
    std::optional<int> previous;
    int changes = 0;
    const auto start = Clock::now();
    const auto end = start + duration;
    while (Clock::now() < end) {
        const std::optional<int> shown = ReadMarker(display, drawable, x, y, factor);
        if (shown && previous && *shown != *previous) {
            ++changes;
        }
        if (shown) {
            previous = shown;
        }
        const auto now = Clock::now();
        const std::vector<Clock::time_point> times = source.frameTimes();
        if (shown) {
            // The latest frame drawn with that number is the one shown.
            for (std::size_t k = times.size(); k-- > unresolved;) {
                if (static_cast<int>(k % 64) == *shown && times[k] <= now) {
                    for (std::size_t j = unresolved; j <= k; ++j) {
                        latencies.push_back(
                            std::chrono::duration<double, std::milli>(now - times[j]).count());
                    }
                    unresolved = k + 1;
                    break;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return Latency{Percentile(latencies, 0.5), Percentile(latencies, 0.95),
                   static_cast<int>(latencies.size()), changes / seconds};
}

} // namespace kestrove::bench
