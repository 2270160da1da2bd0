// The test's own connection to the X server: finds windows and reads their
// properties, types and clicks with XTest, resizes and closes windows as a
// user or window manager would, and reads pixels back from the screen.
// A window that vanishes meanwhile makes a query return nothing, not fail.
// Xlib's headers stay out of this one: their macros (None, Bool, Status)
// break GoogleTest's; tests take key names from <X11/keysym.h> alone.
#pragma once

#include "tests/harness/monitor_layout.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct _XDisplay;

namespace kestrove::e2e {

using Window = unsigned long; // Xlib's Window and KeySym
using KeySym = unsigned long;
constexpr unsigned kNumLockMask = 1u << 4; // Mod2Mask, where servers put Num Lock

struct WindowGeometry {
    int x = 0; // relative to the root window
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels; // row by row
    Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    friend bool operator==(const Image&, const Image&) = default;
};

struct ServerMonitor {
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;
};

class XClient {
public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    // The first window, depth first from the root in stacking order, that
    // `match` accepts.
    std::optional<Window> findWindow(const std::function<bool(Window)>& match);
    // _NET_WM_NAME when set, else WM_NAME, as UTF-8.
    std::string name(Window window);
    std::string netWmName(Window window); // _NET_WM_NAME (UTF8_STRING)
    std::string wmName(Window window);    // WM_NAME, converted to UTF-8
    std::string wmClass(Window window);   // the class half of WM_CLASS
    bool viewable(Window window);
    // The width:height the window asks the window manager to keep
    // (WM_NORMAL_HINTS, one aspect for both bounds); {0, 0} when it asks none.
    std::pair<int, int> aspectHint(Window window);
    std::optional<WindowGeometry> geometry(Window window);
    // The top-level window (a child of the root) that holds `window`.
    Window topLevel(Window window);

    // Asks the window manager to activate `window` (_NET_ACTIVE_WINDOW), as a
    // pager or task bar does; for managers that take back focus set directly.
    void activate(Window window);
    // The window that holds the keyboard focus (0 for none).
    Window inputFocus();
    // Gives `target` the keyboard focus, then presses and releases `key`
    // with `modifiers` held.
    void pressKey(Window target, KeySym key, const std::vector<KeySym>& modifiers = {});
    // Presses and releases `key` with `modifiers` held, wherever the focus is.
    void typeKey(KeySym key, const std::vector<KeySym>& modifiers = {});
    // The modifier and lock state the server keeps (kNumLockMask...).
    unsigned modifierState();
    void click(Window target, int x, int y, unsigned button);
    void movePointer(int x, int y); // in root coordinates
    // A resize as a user or window manager makes it.
    void resize(Window window, int width, int height);
    // WM_PROTOCOLS / WM_DELETE_WINDOW, as a window manager's close button sends it.
    void sendDeleteWindow(Window window);
    // An override-redirect window of one colour over an area of the screen,
    // as another program would show; destroyWindow() takes it away.
    Window showColour(const WindowGeometry& area, Rgb colour);
    void destroyWindow(Window window);
    // The window's pixels as the screen shows them.
    std::optional<Image> grab(Window window);
    // The window's own contents, where the root shows nothing of it (XWayland).
    std::optional<Image> grabContents(Window window);

    std::vector<ServerMonitor> monitors();

private:
    std::optional<Image> grabArea(Window drawable, int x, int y, int width, int height);

    bool call(const std::function<void()>& request);

    _XDisplay* m_display;
};

} // namespace kestrove::e2e
