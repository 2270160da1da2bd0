// Which errors of a real X server Kestrove takes for a window or monitor that
// vanished: the errors themselves are provoked on the server, so request and
// error codes are the server's own.
#include "tests/harness/xvfb_server.h"

#include <gtest/gtest.h>

#include "platform/x11/connection/vanished_object_errors.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <functional>
#include <optional>
#include <string>

namespace kestrove::x11 {
namespace {

std::optional<XErrorEvent> g_error;
int KeepError(Display*, XErrorEvent* error) {
    g_error = *error;
    return 0;
}

struct ErrorCase {
    const char* what;
    std::function<void(Display*, Window gone)> request;
    bool vanished;
};

void PrintTo(const ErrorCase& test, std::ostream* out) {
    *out << test.what;
}

class VanishedObjectErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(VanishedObjectErrors, AreTheOnlyOnesIgnored) {
    e2e::XvfbServer server(640, 480);
    Display* display = XOpenDisplay(server.display().c_str());
    ASSERT_NE(display, nullptr);
    XSetErrorHandler(KeepError);
    const ExtensionCodes codes = QueryExtensionCodes(display);
    EXPECT_NE(codes.randrOpcode, 0);
    EXPECT_NE(codes.renderOpcode, 0);

    const Window gone =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XSync(display, False);
    g_error.reset();

    GetParam().request(display, gone);
    XSync(display, False);
    ASSERT_TRUE(g_error) << "the request did not fail";
    EXPECT_EQ(IsVanishedObjectError(*g_error, codes), GetParam().vanished)
        << "request " << int{g_error->request_code} << "." << int{g_error->minor_code} << ", error "
        << int{g_error->error_code};
    XCloseDisplay(display);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VanishedObjectErrors,
    testing::Values(
        ErrorCase{"PropertyOfAGoneWindow",
                  [](Display* d, Window gone) {
                      Atom type = None;
                      int format = 0;
                      unsigned long items = 0;
                      unsigned long after = 0;
                      unsigned char* data = nullptr;
                      XGetWindowProperty(d, gone, XA_WM_NAME, 0, 1, False, AnyPropertyType, &type,
                                         &format, &items, &after, &data);
                  },
                  true},
        ErrorCase{"GeometryOfAGoneWindow",
                  [](Display* d, Window gone) {
                      Window root = 0;
                      int x = 0;
                      int y = 0;
                      unsigned w = 0;
                      unsigned h = 0;
                      unsigned border = 0;
                      unsigned depth = 0;
                      XGetGeometry(d, gone, &root, &x, &y, &w, &h, &border, &depth);
                  },
                  true},
        ErrorCase{"FocusOnAnUnmappedWindow",
                  [](Display* d, Window) {
                      const Window hidden =
                          XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
                      XSetInputFocus(d, hidden, RevertToParent, CurrentTime);
                  },
                  true},
        ErrorCase{"ProviderListedNoMore",
                  [](Display* d, Window) {
                      XRRScreenResources* resources =
                          XRRGetScreenResourcesCurrent(d, DefaultRootWindow(d));
                      XRRProviderInfo* info = XRRGetProviderInfo(d, resources, 0x7ffff);
                      if (info != nullptr) {
                          XRRFreeProviderInfo(info);
                      }
                      XRRFreeScreenResources(resources);
                  },
                  true},
        ErrorCase{"PropertyOfAnImpossibleFormat",
                  [](Display* d, Window) {
                      const long value = 1;
                      XChangeProperty(d, DefaultRootWindow(d), XA_WM_NAME, XA_CARDINAL, 7,
                                      PropModeReplace,
                                      reinterpret_cast<const unsigned char*>(&value), 1);
                  },
                  false},
        ErrorCase{"PixmapOfAnImpossibleDepth",
                  [](Display* d, Window) { XCreatePixmap(d, DefaultRootWindow(d), 4, 4, 13); },
                  false},
        // A mismatch of Kestrove's own making, not of a window gone.
        ErrorCase{"CopyBetweenDepths",
                  [](Display* d, Window) {
                      const Pixmap bitmap = XCreatePixmap(d, DefaultRootWindow(d), 4, 4, 1);
                      XCopyArea(d, bitmap, DefaultRootWindow(d), DefaultGC(d, DefaultScreen(d)), 0,
                                0, 4, 4, 0, 0);
                  },
                  false},
        ErrorCase{"FreeingAnUnknownPixmap", [](Display* d, Window) { XFreePixmap(d, 0x5); },
                  false}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::x11
