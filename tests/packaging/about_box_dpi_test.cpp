// The About box on a desktop with a higher font resolution (Xft.dpi, as
// desktop settings and xrdb set it): its font, and with it every dialog unit,
// grows with the dots per inch, as a DPI-aware program's dialogs do on
// Windows. Unset or unusable values keep 96.
#include "tests/harness/child_process.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace kestrove::e2e {
namespace {

const std::string kAboutCaption = "Kestrove について";
const std::string kAboutEntry = "Kestroveについて(A)...";

std::optional<Window> FindViewable(XClient& x, const std::string& name) {
    return x.findWindow([&](Window w) { return x.name(w) == name && x.viewable(w); });
}

// The server's resource database, as a desktop's settings daemon loads it.
void LoadResources(const std::string& display, const std::string& resources) {
    const std::string command =
        "printf '%s\\n' '" + resources + "' | xrdb -nocpp -display " + display + " -load -";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
}

// The About box's size when Kestrove starts on a desktop with `resources`
// (none when empty), opened from the mirror's context menu.
WindowGeometry AboutSize(const std::string& resources) {
    XvfbServer server(1280, 1024);
    if (!resources.empty()) {
        LoadResources(server.display(), resources);
    }
    XClient x(server.display());
    ChildProcess kestrove({KestrovePath()}, {{"DISPLAY", server.display()}});

    std::optional<Window> mirror;
    if (!WaitUntil([&] {
            return (mirror = x.findWindow([&](Window w) {
                       return x.name(w).starts_with("Kestrove - ") && x.viewable(w);
                   }))
                .has_value();
        })) {
        throw std::runtime_error("no mirror window; Kestrove said: " + kestrove.standardError());
    }
    x.click(*mirror, 40, 40, 3);
    std::optional<Window> entry;
    if (!WaitUntil([&] { return (entry = FindViewable(x, kAboutEntry)).has_value(); })) {
        throw std::runtime_error("no About entry in the context menu");
    }
    const std::optional<WindowGeometry> entryArea = x.geometry(*entry);
    if (!entryArea) {
        throw std::runtime_error("the About entry vanished");
    }
    x.click(*entry, entryArea->width / 2, entryArea->height / 2, 1);
    std::optional<Window> about;
    if (!WaitUntil([&] { return (about = FindViewable(x, kAboutCaption)).has_value(); })) {
        throw std::runtime_error("no About box");
    }
    const std::optional<WindowGeometry> size = x.geometry(*about);
    if (!size) {
        throw std::runtime_error("the About box vanished");
    }
    EXPECT_EQ(kestrove.standardError(), "");
    return *size;
}

struct DpiCase {
    const char* what;
    const char* resources;
    double scale; // against the box at 96 dots per inch
};

void PrintTo(const DpiCase& test, std::ostream* out) {
    *out << test.what;
}

class AboutBoxDpi : public testing::TestWithParam<DpiCase> {};

TEST_P(AboutBoxDpi, ScalesWithTheDesktopsFontResolution) {
    const DpiCase& test = GetParam();
    const WindowGeometry plain = AboutSize("");
    const WindowGeometry scaled = AboutSize(test.resources);
    // Dialog base units are whole pixels, rounded at both sizes: a base unit
    // of 7 may become 10 rather than 10.5 at 1.5 times. Allow 10 %, still
    // well apart from the neighbouring scales.
    const double tolerance = 0.10 * test.scale;
    EXPECT_NEAR(static_cast<double>(scaled.width) / plain.width, test.scale, tolerance)
        << "width " << scaled.width << " against " << plain.width << " at 96 dpi";
    EXPECT_NEAR(static_cast<double>(scaled.height) / plain.height, test.scale, tolerance)
        << "height " << scaled.height << " against " << plain.height << " at 96 dpi";
}

INSTANTIATE_TEST_SUITE_P(Resources, AboutBoxDpi,
                         testing::Values(DpiCase{"Dpi192", "Xft.dpi: 192", 2.0},
                                         DpiCase{"Dpi144", "Xft.dpi: 144", 1.5},
                                         DpiCase{"Fractional", "Xft.dpi: 191.6", 2.0},
                                         DpiCase{"NotANumber", "Xft.dpi: large", 1.0},
                                         DpiCase{"Zero", "Xft.dpi: 0", 1.0}),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
