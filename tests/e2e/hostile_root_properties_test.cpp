// Root window properties that the window manager, or any program, may have
// written wrongly: Kestrove starts, and where the work area it is given does
// not add up, a monitor's work area is the whole monitor.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/other_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace kestrove::e2e {
namespace {

struct Property {
    std::string name;
    std::string type;
    int format;
    std::vector<long> items;
};

struct HostileCase {
    const char* what;
    std::vector<Property> properties;
    // The rcWork lines of the two monitors; empty: each is its monitor.
    std::vector<std::string> work;
};

void PrintTo(const HostileCase& test, std::ostream* out) {
    *out << test.what;
}

// Desktop 0 leaves a 30-pixel panel at the top of the screen, desktop 1
// keeps the right 60 pixels for itself.
const std::vector<long> kTwoDesktops{0, 30, 2560, 1570, 0, 0, 2500, 1600};
const std::vector<std::string> kMonitorLines{
    "rcWork top=0, left=1280, bottom=720, right=2560",
    "rcWork top=720, left=1280, bottom=1520, right=1880",
};

Property Desktop(long index) {
    return {"_NET_CURRENT_DESKTOP", "CARDINAL", 32, {index}};
}
Property Areas(std::vector<long> items, const char* type = "CARDINAL", int format = 32) {
    return {"_NET_WORKAREA", type, format, std::move(items)};
}

class HostileRootProperties : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileRootProperties, StartAndTakeTheMonitorWhenTheWorkAreaDoesNotAddUp) {
    const HostileCase& test = GetParam();
    KestroveSession session(TwoMonitors(), 2560, 1600, {}, [&](const std::string& display) {
        OtherClient other(display);
        for (const Property& p : test.properties) {
            other.setProperty(other.root(), p.name, p.type, p.format, p.items);
        }
    });

    std::vector<std::string> work;
    for (int line = 0; line < 8; ++line) {
        const auto text = session.kestrove().readLine(std::chrono::seconds(10));
        ASSERT_TRUE(text) << "line " << line << "; " << session.kestrove().standardError();
        if (text->starts_with("rcWork")) {
            work.push_back(*text);
        }
    }
    EXPECT_EQ(work, test.work.empty() ? kMonitorLines : test.work);
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.waitForPattern(0), "");
    EXPECT_EQ(session.kestrove().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostileRootProperties,
    testing::Values(
        HostileCase{"FirstDesktop",
                    {Desktop(0), Areas(kTwoDesktops)},
                    {"rcWork top=30, left=1280, bottom=720, right=2560", kMonitorLines[1]}},
        HostileCase{"LastDesktop",
                    {Desktop(1), Areas(kTwoDesktops)},
                    {"rcWork top=0, left=1280, bottom=720, right=2500",
                     "rcWork top=720, left=1280, bottom=1520, right=1880"}},
        HostileCase{"DesktopOnePastTheLast", {Desktop(2), Areas(kTwoDesktops)}, {}},
        HostileCase{"LargestDesktopNumber", {Desktop(0xFFFFFFFFL), Areas(kTwoDesktops)}, {}},
        HostileCase{"HighestSignedDesktopNumber", {Desktop(0x7FFFFFFFL), Areas(kTwoDesktops)}, {}},
        HostileCase{"WorkAreaNotWholeQuadruples", {Desktop(0), Areas({0, 30, 2560, 1570, 0})}, {}},
        HostileCase{"WorkAreaEmpty", {Desktop(0), Areas({})}, {}},
        HostileCase{"WorkAreaOfSixteenBitItems",
                    {Desktop(0), Areas({0, 30, 2560, 1570}, "CARDINAL", 16)},
                    {}},
        HostileCase{"WorkAreaOfBytes", {Desktop(0), Areas({0, 30, 2560, 1570}, "CARDINAL", 8)}, {}},
        HostileCase{"WorkAreaOfAnotherType", {Desktop(0), Areas(kTwoDesktops, "ATOM")}, {}},
        HostileCase{"WorkAreaBeyondTheCoordinates",
                    {Desktop(0), Areas({0x7FFFFF00L, 0, 0x7FFFFF00L, 1600})},
                    {}},
        HostileCase{"WorkAreaForMoreDesktopsThanAnyHas",
                    {Desktop(0), Areas(std::vector<long>(4 * 5000, 100))},
                    {}},
        // A current desktop that is not one index counts as none: desktop 0.
        HostileCase{"CurrentDesktopOfTwoItems",
                    {Property{"_NET_CURRENT_DESKTOP", "CARDINAL", 32, {1, 1}}, Areas(kTwoDesktops)},
                    {"rcWork top=30, left=1280, bottom=720, right=2560", kMonitorLines[1]}},
        HostileCase{"CurrentDesktopAsText",
                    {Property{"_NET_CURRENT_DESKTOP", "STRING", 8, {'1'}}, Areas(kTwoDesktops)},
                    {"rcWork top=30, left=1280, bottom=720, right=2560", kMonitorLines[1]}}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
