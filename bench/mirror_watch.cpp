#include "bench/mirror_watch.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <functional>
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
    const int value = MarkerValue(blockWidth, blockHeight, [&](int px, int py) {
        return static_cast<unsigned>((XGetPixel(image, px, py) >> 8) & 0xFF);
    });
    XDestroyImage(image);
    return value;
}

std::vector<std::optional<Clock::time_point>>
FirstShown(const std::vector<Sighting>& sightings, const std::vector<Clock::time_point>& frameTimes,
           std::size_t first) {
    std::vector<std::optional<Clock::time_point>> shown(frameTimes.size() - first);
    std::size_t unresolved = first;
    for (const Sighting& seen : sightings) {
        // The latest frame drawn with that number is the one shown.
        for (std::size_t k = frameTimes.size(); k-- > unresolved;) {
            if (static_cast<int>(k % 64) == seen.value && frameTimes[k] <= seen.when) {
                for (std::size_t j = unresolved; j <= k; ++j) {
                    shown[j - first] = seen.when;
                }
                unresolved = k + 1;
                break;
            }
        }
    }
    return shown;
}

Latency Between(const std::vector<std::optional<Clock::time_point>>& from,
                const std::vector<std::optional<Clock::time_point>>& to) {
    std::vector<double> latencies;
    for (std::size_t k = 0; k < from.size() && k < to.size(); ++k) {
        if (from[k] && to[k]) {
            latencies.push_back(
                std::chrono::duration<double, std::milli>(*to[k] - *from[k]).count());
        }
    }
    return Latency{Percentile(latencies, 0.5), Percentile(latencies, 0.95),
                   static_cast<int>(latencies.size()), 0};
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

int MarkerValue(int blockWidth, int blockHeight, const std::function<unsigned(int, int)>& green) {
    int value = 0;
    for (int bit = 0; bit < kMarkerBits; ++bit) {
        // The block's centre, away from what the filters blend in from its neighbours.
        if (green(bit % kMarkerColumns * blockWidth + blockWidth / 2,
                  bit / kMarkerColumns * blockHeight + blockHeight / 2) > 128) {
            value |= 1 << bit;
        }
    }
    return value;
}

Latency MeasureLatency(Display* display, int x, int y, int factor, SourceAnimation& source,
                       std::chrono::milliseconds duration, Window readFrom,
                       const std::function<std::vector<Sighting>()>& monitor,
                       MonitorLatency* monitorLatency) {
    const Drawable drawable = readFrom != None ? readFrom : DefaultRootWindow(display);
    const std::size_t first = source.frameTimes().size();
    std::vector<Sighting> sightings;
    int changes = 0;
    const auto start = Clock::now();
    const auto end = start + duration;
    while (Clock::now() < end) {
        if (const std::optional<int> shown = ReadMarker(display, drawable, x, y, factor)) {
            if (!sightings.empty() && sightings.back().value != *shown) {
                ++changes;
            }
            sightings.push_back(Sighting{Clock::now(), *shown});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::vector<Clock::time_point> times = source.frameTimes();
    std::vector<std::optional<Clock::time_point>> drawn(
        times.begin() + static_cast<std::ptrdiff_t>(first), times.end());
    const auto inMirror = FirstShown(sightings, times, first);
    Latency latency = Between(drawn, inMirror);
    latency.framesPerSecond = changes / seconds;
    if (monitor && monitorLatency != nullptr) {
        const auto onMonitor = FirstShown(monitor(), times, first);
        *monitorLatency = MonitorLatency{Between(drawn, onMonitor), Between(onMonitor, inMirror)};
    }
    return latency;
}

} // namespace kestrove::bench
