// kestrove_wine_screen: the X side of the Wine smoke run.
//
//   kestrove_wine_screen show <pattern>
//     Covers the X screen with pattern <pattern> (PatternColour's 4 x 4 blocks)
//     in an override-redirect window kept below every other window, prints
//     "ready" and holds it until killed: as another program's picture would be.
//   kestrove_wine_screen expect <pattern> <x> <y> <width> <height> <seconds>
//                        [<source x> <source y> <source width> <source height>]
//     Reads the screen back until the mirror whose client area lies at x, y
//     (root coordinates), width x height, shows <pattern> over the source
//     area (the whole screen unless given; a monitor of
//     kestrove_monitor_fixture) scaled to its width, or <seconds> have
//     passed. Prints "ok: ..." or "FAIL: ..." lines and exits 0 or 1; 2 for
//     usage errors.
//
// The mirror shows its own window where the screen does, so blocks whose
// centre lies under the window (with room for its frame) are not compared.
#include "tests/harness/monitor_layout.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using kestrove::e2e::kPatternBlocks;
using kestrove::e2e::PatternColour;
using kestrove::e2e::Rgb;

constexpr int kFrameRoom = 48;   // the window's frame and caption around its client area
constexpr int kTolerance = 24;   // per channel: halftone scaling blurs only block edges
constexpr int kFewestBlocks = 4; // a check on fewer blocks would prove little

struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

int Usage() {
    std::fprintf(stderr, "usage: kestrove_wine_screen show <pattern>\n"
                         "       kestrove_wine_screen expect <pattern> <x> <y> <width> <height> "
                         "<seconds> [<source x> <source y> <source width> <source height>]\n");
    return 2;
}

std::optional<int> Number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < -100000 || value > 100000) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

unsigned long AllocColour(Display* display, Rgb rgb) {
    XColor colour{};
    colour.red = static_cast<unsigned short>(rgb.r * 257);
    colour.green = static_cast<unsigned short>(rgb.g * 257);
    colour.blue = static_cast<unsigned short>(rgb.b * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &colour);
    return colour.pixel;
}

int Show(Display* display, int pattern) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);

    const Pixmap picture =
        XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(DefaultDepth(display, screen)));
    const GC gc = XCreateGC(display, picture, 0, nullptr);
    for (int row = 0; row < kPatternBlocks; ++row) {
        for (int column = 0; column < kPatternBlocks; ++column) {
            const int left = column * width / kPatternBlocks;
            const int top = row * height / kPatternBlocks;
            XSetForeground(display, gc, AllocColour(display, PatternColour(pattern, column, row)));
            XFillRectangle(display, picture, gc, left, top,
                           static_cast<unsigned>((column + 1) * width / kPatternBlocks - left),
                           static_cast<unsigned>((row + 1) * height / kPatternBlocks - top));
        }
    }
    XFreeGC(display, gc);

    // The background is the pattern: the server repaints every exposure itself.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = picture;
    const Window window =
        XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixmap, &attributes);
    XFreePixmap(display, picture);
    XMapWindow(display, window);
    XLowerWindow(display, window);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) { // until killed; Xlib ends the process if the server goes away
        XEvent event;
        XNextEvent(display, &event);
    }
}

bool Near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) <= kTolerance && std::abs(a.g - b.g) <= kTolerance &&
           std::abs(a.b - b.b) <= kTolerance;
}

std::string Text(Rgb colour) {
    return std::to_string(colour.r) + "," + std::to_string(colour.g) + "," +
           std::to_string(colour.b);
}

struct Sample {
    std::string what;
    int x = 0; // on the screen, in the mirror
    int y = 0;
    Rgb expected;
};

// The points of the mirror to compare, each with the colour it must show:
// every block's centre, and just inside each corner of the client area (which
// shows the screen's corners only when the scaled screen fills it exactly).
std::vector<Sample> Samples(int pattern, const Area& mirror, const Area& source) {
    const double zoom = static_cast<double>(mirror.width) / source.width;
    const Area window{mirror.x - kFrameRoom, mirror.y - kFrameRoom, mirror.width + 2 * kFrameRoom,
                      mirror.height + 2 * kFrameRoom};
    std::vector<Sample> samples;
    const auto add = [&](const std::string& what, int mirrorX, int mirrorY) {
        const auto sourceX = static_cast<int>(mirrorX / zoom);
        const auto sourceY = static_cast<int>(mirrorY / zoom);
        if (window.contains(source.x + sourceX, source.y + sourceY)) {
            return;
        }
        const Rgb expected =
            PatternColour(pattern, kestrove::e2e::PatternBlockAt(sourceX, source.width),
                          kestrove::e2e::PatternBlockAt(sourceY, source.height));
        samples.push_back({what, mirror.x + mirrorX, mirror.y + mirrorY, expected});
    };
    for (int row = 0; row < kPatternBlocks; ++row) {
        for (int column = 0; column < kPatternBlocks; ++column) {
            const double centreX = (column + 0.5) * source.width / kPatternBlocks;
            const double centreY = (row + 0.5) * source.height / kPatternBlocks;
            add("block " + std::to_string(column) + "," + std::to_string(row),
                static_cast<int>(centreX * zoom), static_cast<int>(centreY * zoom));
        }
    }
    constexpr int kInset = 3;
    const int right = mirror.width - 1 - kInset;
    const int bottom = mirror.height - 1 - kInset;
    add("top-left corner", kInset, kInset);
    add("top-right corner", right, kInset);
    add("bottom-left corner", kInset, bottom);
    add("bottom-right corner", right, bottom);
    return samples;
}

// Empty when every sample shows its colour, else what the first wrong one shows.
std::string Compare(Display* display, const std::vector<Sample>& samples) {
    const Window root = DefaultRootWindow(display);
    const int screen = DefaultScreen(display);
    XImage* image =
        XGetImage(display, root, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                  static_cast<unsigned>(DisplayHeight(display, screen)), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return "the screen cannot be read";
    }
    std::string fault;
    for (const Sample& sample : samples) {
        const unsigned long pixel = XGetPixel(image, sample.x, sample.y);
        const Rgb shown{static_cast<std::uint8_t>((pixel >> 16) & 0xFF),
                        static_cast<std::uint8_t>((pixel >> 8) & 0xFF),
                        static_cast<std::uint8_t>(pixel & 0xFF)};
        if (!Near(shown, sample.expected)) {
            fault = sample.what + " at " + std::to_string(sample.x) + "," +
                    std::to_string(sample.y) + " shows " + Text(shown) + ", not " +
                    Text(sample.expected);
            break;
        }
    }
    XDestroyImage(image);
    return fault;
}

int Expect(Display* display, int pattern, const Area& mirror, int seconds,
           const std::optional<Area>& givenSource) {
    const int screen = DefaultScreen(display);
    const int screenWidth = DisplayWidth(display, screen);
    const int screenHeight = DisplayHeight(display, screen);
    const Area source = givenSource.value_or(Area{0, 0, screenWidth, screenHeight});
    const std::string what =
        "the mirror shows pattern " + std::to_string(pattern) + " of " +
        (givenSource
             ? "the area " + std::to_string(source.width) + "x" + std::to_string(source.height) +
                   "+" + std::to_string(source.x) + "+" + std::to_string(source.y)
             : std::string("the whole screen")) +
        ", fitted to its client area";
    if (mirror.width <= 0 || mirror.height <= 0 || mirror.x < 0 || mirror.y < 0 ||
        mirror.x + mirror.width > screenWidth || mirror.y + mirror.height > screenHeight) {
        std::printf("FAIL: %s -- the client area is not on the screen\n", what.c_str());
        return 1;
    }
    if (source.width <= 0 || source.height <= 0) {
        std::printf("FAIL: %s -- the source area is empty\n", what.c_str());
        return 1;
    }
    const std::vector<Sample> samples = Samples(pattern, mirror, source);
    if (samples.size() < kFewestBlocks) {
        std::printf("FAIL: %s -- the window hides all but %zu samples\n", what.c_str(),
                    samples.size());
        return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string fault;
    while (!(fault = Compare(display, samples)).empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("%s: %s -- %zu samples%s%s\n", fault.empty() ? "ok" : "FAIL", what.c_str(),
                samples.size(), fault.empty() ? "" : "; ", fault.c_str());
    return fault.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const auto pattern = Number(argv[2]);
    if (!pattern || *pattern < 0) {
        return Usage();
    }
    std::vector<int> numbers;
    for (int i = 3; i < argc; ++i) {
        const auto number = Number(argv[i]);
        if (!number) {
            return Usage();
        }
        numbers.push_back(*number);
    }
    if (!(command == "show" && numbers.empty()) &&
        !(command == "expect" && (numbers.size() == 5 || numbers.size() == 9))) {
        return Usage();
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "kestrove_wine_screen: cannot open X display '%s'\n",
                     XDisplayName(nullptr));
        return 1;
    }
    const int status =
        command == "show"
            ? Show(display, *pattern)
            : Expect(display, *pattern, Area{numbers[0], numbers[1], numbers[2], numbers[3]},
                     numbers[4],
                     numbers.size() == 9
                         ? std::optional<Area>(Area{numbers[5], numbers[6], numbers[7], numbers[8]})
                         : std::nullopt);
    XCloseDisplay(display);
    return status;
}
