#include "tests/harness/x_client.h"

#include <X11/Xlib.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <bit>
#include <stdexcept>

static_assert(sizeof(::Window) == sizeof(kestrove::e2e::Window));
static_assert(sizeof(::KeySym) == sizeof(kestrove::e2e::KeySym));
static_assert(Mod2Mask == kestrove::e2e::kNumLockMask);

namespace kestrove::e2e {

namespace {

int g_errors = 0;

// Windows of the program under test come and go; a request on one that has
// gone is an expected outcome, counted instead of ending the test.
int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

std::uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    const int shift = std::countr_zero(mask);
    const unsigned long bits = mask >> shift;
    return static_cast<std::uint8_t>(((pixel >> shift) & bits) * 255 / bits);
}

} // namespace

XClient::XClient(const std::string& display) : m_display(XOpenDisplay(display.c_str())) {
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open X display " + display);
    }
    XSetErrorHandler(CountError);
}

XClient::~XClient() {
    XCloseDisplay(m_display);
}

bool XClient::call(const std::function<void()>& request) {
    XSync(m_display, False);
    const int before = g_errors;
    request();
    XSync(m_display, False);
    return g_errors == before;
}

std::optional<Window> XClient::findWindow(const std::function<bool(Window)>& match) {
    std::vector<Window> pending{DefaultRootWindow(m_display)};
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        if (match(window)) {
            return window;
        }
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!call([&] { XQueryTree(m_display, window, &root, &parent, &children, &count); })) {
            continue;
        }
        // Topmost first.
        for (unsigned i = 0; i < count; ++i) {
            pending.push_back(children[i]);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }
    return std::nullopt;
}

std::string XClient::netWmName(Window window) {
    const Atom property = XInternAtom(m_display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (call([&] {
            XGetWindowProperty(m_display, window, property, 0, 4096, False, utf8, &type, &format,
                               &count, &after, &data);
        }) &&
        data != nullptr && type == utf8 && format == 8) {
        text.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return text;
}

std::string XClient::wmName(Window window) {
    XTextProperty property{};
    std::string text;
    if (!call([&] { XGetWMName(m_display, window, &property); }) || property.value == nullptr) {
        return text;
    }
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_display, &property, &list, &count) >= Success && count > 0) {
        text = list[0];
    }
    if (list != nullptr) {
        XFreeStringList(list);
    }
    XFree(property.value);
    return text;
}

std::string XClient::name(Window window) {
    std::string text = netWmName(window);
    return text.empty() ? wmName(window) : text;
}

std::string XClient::wmClass(Window window) {
    XClassHint hint{};
    std::string text;
    if (call([&] { XGetClassHint(m_display, window, &hint); })) {
        if (hint.res_class != nullptr) {
            text = hint.res_class;
        }
    }
    if (hint.res_name != nullptr) {
        XFree(hint.res_name);
    }
    if (hint.res_class != nullptr) {
        XFree(hint.res_class);
    }
    return text;
}

bool XClient::viewable(Window window) {
    XWindowAttributes attributes{};
    return call([&] { XGetWindowAttributes(m_display, window, &attributes); }) &&
           attributes.map_state == IsViewable;
}

std::pair<int, int> XClient::aspectHint(Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (!call([&] { XGetWMNormalHints(m_display, window, &hints, &supplied); }) ||
        (hints.flags & PAspect) == 0 || hints.min_aspect.x != hints.max_aspect.x ||
        hints.min_aspect.y != hints.max_aspect.y) {
        return {0, 0};
    }
    return {hints.min_aspect.x, hints.min_aspect.y};
}

std::optional<WindowGeometry> XClient::geometry(Window window) {
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!call([&] {
            XGetWindowAttributes(m_display, window, &attributes);
            XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y,
                                  &child);
        })) {
        return std::nullopt;
    }
    return WindowGeometry{x, y, attributes.width, attributes.height};
}

Window XClient::topLevel(Window window) {
    const Window root = DefaultRootWindow(m_display);
    for (;;) {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!call(
                [&] { XQueryTree(m_display, window, &rootReturn, &parent, &children, &count); })) {
            return window;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            return window;
        }
        window = parent;
    }
}

void XClient::activate(Window window) {
    call([&] {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, DefaultRootWindow(m_display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    });
}

void XClient::pressKey(Window target, KeySym key, const std::vector<KeySym>& modifiers) {
    // Focus as a window manager would give it; the pointer goes along for
    // servers whose focus follows the pointer.
    call([&] {
        XWarpPointer(m_display, None, target, 0, 0, 0, 0, 2, 2);
        XSetInputFocus(m_display, target, RevertToParent, CurrentTime);
    });
    typeKey(key, modifiers);
}

Window XClient::inputFocus() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}

void XClient::typeKey(KeySym key, const std::vector<KeySym>& modifiers) {
    const auto send = [&](KeySym symbol, bool down) {
        XTestFakeKeyEvent(m_display, XKeysymToKeycode(m_display, symbol), down ? True : False,
                          CurrentTime);
    };
    for (const KeySym modifier : modifiers) {
        send(modifier, true);
    }
    send(key, true);
    send(key, false);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        send(*modifier, false);
    }
    XSync(m_display, False);
}

unsigned XClient::modifierState() {
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return mask;
}

void XClient::click(Window target, int x, int y, unsigned button) {
    call([&] { XWarpPointer(m_display, None, target, 0, 0, 0, 0, x, y); });
    XTestFakeButtonEvent(m_display, button, True, CurrentTime);
    XTestFakeButtonEvent(m_display, button, False, CurrentTime);
    XSync(m_display, False);
}

void XClient::movePointer(int x, int y) {
    call([&] { XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, x, y); });
}

void XClient::resize(Window window, int width, int height) {
    call([&] {
        XResizeWindow(m_display, window, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    });
}

void XClient::sendDeleteWindow(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    call([&] { XSendEvent(m_display, window, False, NoEventMask, &event); });
}

Window XClient::showColour(const WindowGeometry& area, Rgb colour) {
    const int screen = DefaultScreen(m_display);
    XColor pixel{};
    pixel.red = static_cast<unsigned short>(colour.r * 257);
    pixel.green = static_cast<unsigned short>(colour.g * 257);
    pixel.blue = static_cast<unsigned short>(colour.b * 257);
    pixel.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(m_display, DefaultColormap(m_display, screen), &pixel);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = pixel.pixel;
    const Window window = XCreateWindow(
        m_display, RootWindow(m_display, screen), area.x, area.y, static_cast<unsigned>(area.width),
        static_cast<unsigned>(area.height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(m_display, window);
    XSync(m_display, False);
    return window;
}

void XClient::destroyWindow(Window window) {
    call([&] { XDestroyWindow(m_display, window); });
}

std::optional<Image> XClient::grab(Window window) {
    const auto area = geometry(window);
    if (!area) {
        return std::nullopt;
    }
    // The root's pixels under the window: what the screen shows there,
    // children included.
    return grabArea(DefaultRootWindow(m_display), area->x, area->y, area->width, area->height);
}

std::optional<Image> XClient::grabContents(Window window) {
    const auto area = geometry(window);
    if (!area) {
        return std::nullopt;
    }
    return grabArea(window, 0, 0, area->width, area->height);
}

std::optional<Image> XClient::grabArea(Window drawable, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    XImage* image = nullptr;
    if (!call([&] {
            image = XGetImage(m_display, drawable, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
        }) ||
        image == nullptr) {
        return std::nullopt;
    }
    Image result{width, height, {}};
    result.pixels.reserve(static_cast<std::size_t>(width * height));
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            result.pixels.push_back(Rgb{Channel(pixel, image->red_mask),
                                        Channel(pixel, image->green_mask),
                                        Channel(pixel, image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return result;
}

std::vector<ServerMonitor> XClient::monitors() {
    int count = 0;
    XRRMonitorInfo* list = XRRGetMonitors(m_display, DefaultRootWindow(m_display), True, &count);
    std::vector<ServerMonitor> result;
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(m_display, list[i].name);
        result.push_back({name != nullptr ? name : "", list[i].x, list[i].y, list[i].width,
                          list[i].height, list[i].primary != 0});
        if (name != nullptr) {
            XFree(name);
        }
    }
    if (list != nullptr) {
        XRRFreeMonitors(list);
    }
    return result;
}

} // namespace kestrove::e2e
