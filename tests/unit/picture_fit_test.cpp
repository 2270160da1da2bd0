// Where the mirror's picture goes in its client area: unchanged where the
// window has the monitor's shape (to the pixel the program rounds to), fitted
// inside and centred where the window manager gave it another.
#include "platform/x11/magnifier/picture_fit.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrove::x11 {
namespace {

TEST(PictureFit, FillsAWindowOfTheMonitorsShapeAndFitsOthers) {
    struct Case {
        const char* what;
        Rect area;
        double zoom;
        Rect window;
        double fittedZoom;
    } const cases[] = {
        // 1280x800 at 560 wide: 350 tall exactly.
        {"the monitor's shape", {0, 0, 560, 350}, 560.0 / 1280, {0, 0, 560, 350}, 560.0 / 1280},
        // 1280x720 at 561 wide: 315.56 tall, the window truncated to 315.
        {"rounded to the pixel", {0, 0, 561, 315}, 561.0 / 1280, {0, 0, 561, 315}, 561.0 / 1280},
        {"a wide tile", {0, 0, 1280, 780}, 1.0, {16, 0, 1264, 780}, 780.0 / 800},
        {"a tall tile", {0, 0, 640, 780}, 0.5, {0, 190, 640, 590}, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int height = c.what[0] == 'r' ? 720 : 800;
        const FittedPicture fitted = FitPicture(c.area, 1280, height, c.zoom);
        EXPECT_EQ(fitted.window, c.window);
        EXPECT_DOUBLE_EQ(fitted.zoom, c.fittedZoom);
    }
}

TEST(PictureFit, NothingToShowLeavesTheAreaAsItIs) {
    const Rect area{0, 0, 300, 200};
    for (const double zoom : {0.0, -1.0, 1e-30, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(FitPicture(area, 1280, 800, zoom).window, area) << zoom;
    }
    EXPECT_EQ(FitPicture(area, 0, 800, 0.5).window, area);
}

} // namespace
} // namespace kestrove::x11
