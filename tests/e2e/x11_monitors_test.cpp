// The X11 monitor and display-device enumeration on a real X server with
// RandR virtual monitors from the monitor fixture.
#include "tests/harness/child_process.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/xvfb_server.h"

#include <gtest/gtest.h>

#include "common/fixed_text.h"
#include "common/utf.h"
#include "platform/x11/monitors/x11_monitors.h"
#include "tests/harness/randr_monitor.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrove::x11 {
namespace {

struct Reported {
    MonitorHandle handle;
    Rect rect;
};

int Collect(MonitorHandle handle, DeviceContextHandle, Rect* rect, std::intptr_t data) {
    reinterpret_cast<std::vector<Reported>*>(data)->push_back({handle, *rect});
    return 1;
}

std::string Text(std::u16string_view text) {
    return ToUtf8(text);
}

class Monitors : public ::testing::Test {
protected:
    // DP-1 left, DP-2 (primary) right of it, DP-3 below DP-1.
    void SetUp() override {
        m_server = std::make_unique<e2e::XvfbServer>(3200, 1700);
        m_fixture = std::make_unique<e2e::ChildProcess>(
            std::vector<std::string>{e2e::MonitorFixturePath(), "--display", m_server->display(),
                                     "1280x1024+0+0", "1920x1080+1280+0*", "800x600+0+1024"},
            std::vector<e2e::EnvironmentChange>{});
        ASSERT_EQ(m_fixture->readLine(e2e::kWaitTimeout), "ready");
        m_display = XOpenDisplay(m_server->display().c_str());
        ASSERT_NE(m_display, nullptr);
        m_monitors = std::make_unique<X11Monitors>(m_display);
    }

    void TearDown() override {
        m_monitors.reset();
        if (m_display != nullptr) {
            XCloseDisplay(m_display);
        }
    }

    std::vector<Reported> enumerate() {
        std::vector<Reported> reported;
        m_monitors->enumDisplayMonitors(Collect, reinterpret_cast<std::intptr_t>(&reported));
        return reported;
    }

    void setCardinals(const char* name, const std::vector<long>& values) {
        XChangeProperty(m_display, DefaultRootWindow(m_display),
                        XInternAtom(m_display, name, False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(values.data()),
                        static_cast<int>(values.size()));
        XSync(m_display, False);
    }

    std::unique_ptr<e2e::XvfbServer> m_server;
    std::unique_ptr<e2e::ChildProcess> m_fixture;
    Display* m_display = nullptr;
    std::unique_ptr<X11Monitors> m_monitors;
};

TEST_F(Monitors, ReportsTheServersMonitorsInItsOrderWithTheirNamesAndThePrimaryFlag) {
    const std::vector<Reported> reported = enumerate();
    struct Expected {
        Rect rect;
        std::uint32_t flags;
        const char* name;
    } const expected[] = {
        {{1280, 0, 3200, 1080}, 1, "DP-2"}, // the server lists the primary first
        {{0, 0, 1280, 1024}, 0, "DP-1"},
        {{0, 1024, 800, 1624}, 0, "DP-3"},
    };
    ASSERT_EQ(reported.size(), std::size(expected));
    for (std::size_t i = 0; i < reported.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(reported[i].rect, expected[i].rect);
        MonitorInfoEx info{};
        info.cbSize = kMonitorInfoExSize;
        ASSERT_TRUE(m_monitors->getMonitorInfo(reported[i].handle, info));
        EXPECT_EQ(info.rcMonitor, expected[i].rect);
        EXPECT_EQ(info.rcWork, expected[i].rect) << "no window manager: the work area is all of it";
        EXPECT_EQ(info.dwFlags, expected[i].flags);
        EXPECT_EQ(Text(FixedText(info.szDevice)), expected[i].name);
        // The magnifier is handed the handle; the adapter knows whose it is.
        const MonitorIdentity shown = m_monitors->identityOf(reported[i].handle, expected[i].rect);
        EXPECT_EQ(shown.name, expected[i].name);
        EXPECT_EQ(shown.rect, expected[i].rect);
        EXPECT_EQ(shown.others.size(), std::size(expected) - 1);

        // Device i is monitor i; Xvfb has no RandR providers, so no description.
        DisplayDevice device{};
        device.cb = kDisplayDeviceSize;
        std::fill(std::begin(device.DeviceString), std::end(device.DeviceString) - 1, u'x');
        ASSERT_TRUE(m_monitors->enumDisplayDevices(static_cast<std::uint32_t>(i), device));
        EXPECT_EQ(Text(FixedText(device.DeviceName)), expected[i].name);
        EXPECT_EQ(Text(FixedText(device.DeviceString)), "") << "left over from an earlier query";
    }
    DisplayDevice device{};
    EXPECT_FALSE(m_monitors->enumDisplayDevices(3, device));
    for (const MonitorHandle never : {MonitorHandle{0}, MonitorHandle{99}}) {
        const MonitorIdentity none = m_monitors->identityOf(never, Rect{0, 0, 10, 10});
        EXPECT_EQ(none.name, "");
        EXPECT_EQ(none.rect, (Rect{0, 0, 10, 10}));
        EXPECT_EQ(none.others.size(), std::size(expected));
    }
}

TEST_F(Monitors, AMonitorThatMovesKeepsItsNameAtItsNewPlaceOnceReported) {
    const std::vector<Reported> reported = enumerate(); // DP-2, DP-1, DP-3
    ASSERT_EQ(reported.size(), 3u);
    XRRDeleteMonitor(m_display, DefaultRootWindow(m_display), XInternAtom(m_display, "DP-3", True));
    e2e::SetRandrMonitor(m_display, "DP-3", e2e::MonitorGeometry{1024, 600, 0, 1100, false}, None);
    XSync(m_display, False);
    MonitorInfoEx info{};
    info.cbSize = kMonitorInfoExSize;
    ASSERT_TRUE(m_monitors->getMonitorInfo(reported[2].handle, info));
    const Rect now{0, 1100, 1024, 1700};
    EXPECT_EQ(info.rcMonitor, now);
    EXPECT_EQ(m_monitors->identityOf(reported[2].handle, now).name, "DP-3");
    // Its neighbours know it at its new place.
    const std::vector<MonitorIdentity> others =
        m_monitors->identityOf(reported[0].handle, reported[0].rect).others;
    ASSERT_EQ(others.size(), 2u);
    EXPECT_EQ(others[1].name, "DP-3");
    EXPECT_EQ(others[1].rect, now);
}

TEST_F(Monitors, TwoMonitorsAtOneRectangleAreEachReachedByTheirHandle) {
    e2e::SetRandrMonitor(m_display, "DP-4", e2e::MonitorGeometry{1280, 1024, 0, 0, false}, None);
    XSync(m_display, False);
    const std::vector<Reported> reported = enumerate(); // DP-2, DP-1, DP-3, DP-4
    ASSERT_EQ(reported.size(), 4u);
    ASSERT_EQ(reported[1].rect, reported[3].rect);
    const MonitorIdentity first = m_monitors->identityOf(reported[1].handle, reported[1].rect);
    const MonitorIdentity second = m_monitors->identityOf(reported[3].handle, reported[3].rect);
    EXPECT_EQ(first.name, "DP-1");
    EXPECT_EQ(second.name, "DP-4");
    ASSERT_EQ(second.others.size(), 3u);
    EXPECT_EQ(second.others[1].name, "DP-1") << "the other at the same place stays beside it";
}

TEST_F(Monitors, WorkAreaIsTheMonitorsShareOfTheWindowManagersOnTheCurrentDesktop) {
    // Desktop 0 leaves a 30-pixel panel at the top, desktop 1 one at the left.
    setCardinals("_NET_WORKAREA", {0, 30, 3200, 1670, 40, 0, 3160, 1700});
    struct Case {
        long desktop;
        Rect dp1;
        Rect dp3;
    } const cases[] = {
        {0, {0, 30, 1280, 1024}, {0, 1024, 800, 1624}},
        {1, {40, 0, 1280, 1024}, {40, 1024, 800, 1624}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("desktop " + std::to_string(c.desktop));
        setCardinals("_NET_CURRENT_DESKTOP", {c.desktop});
        const std::vector<Reported> reported = enumerate();
        ASSERT_EQ(reported.size(), 3u);
        MonitorInfoEx dp1{};
        MonitorInfoEx dp3{};
        ASSERT_TRUE(m_monitors->getMonitorInfo(reported[1].handle, dp1));
        ASSERT_TRUE(m_monitors->getMonitorInfo(reported[2].handle, dp3));
        EXPECT_EQ(dp1.rcWork, c.dp1);
        EXPECT_EQ(dp3.rcWork, c.dp3);
    }
}

TEST_F(Monitors, InfoFailsAndLeavesTheRecordForUnknownOrVanishedMonitors) {
    const std::vector<Reported> reported = enumerate(); // DP-2, DP-1, DP-3
    ASSERT_EQ(reported.size(), 3u);
    MonitorInfoEx info{};
    info.cbSize = kMonitorInfoExSize;
    info.dwFlags = 7;
    for (const MonitorHandle unknown : {MonitorHandle{0}, MonitorHandle{4}, MonitorHandle{999}}) {
        EXPECT_FALSE(m_monitors->getMonitorInfo(unknown, info)) << unknown;
    }

    XRRDeleteMonitor(m_display, DefaultRootWindow(m_display), XInternAtom(m_display, "DP-1", True));
    XSync(m_display, False);
    ASSERT_EQ(enumerate().size(), 2u);
    EXPECT_FALSE(m_monitors->getMonitorInfo(reported[1].handle, info));
    EXPECT_EQ(info.dwFlags, 7u);
    EXPECT_EQ(info.rcMonitor, Rect{});
}

TEST_F(Monitors, LongMonitorNamesAreCutTo31Characters) {
    const std::string name = "A-monitor-name-of-forty-characters-long!";
    ASSERT_EQ(name.size(), 40u);
    XRRMonitorInfo* monitor = XRRAllocateMonitor(m_display, 0);
    monitor->name = XInternAtom(m_display, name.c_str(), False);
    monitor->x = 2000;
    monitor->y = 1200;
    monitor->width = 400;
    monitor->height = 300;
    XRRSetMonitor(m_display, DefaultRootWindow(m_display), monitor);
    XRRFreeMonitors(monitor);
    XSync(m_display, False);

    const std::vector<Reported> reported = enumerate();
    ASSERT_EQ(reported.size(), 4u);
    MonitorInfoEx info{};
    ASSERT_TRUE(m_monitors->getMonitorInfo(reported[3].handle, info));
    EXPECT_EQ(Text(FixedText(info.szDevice)), name.substr(0, 31));
    DisplayDevice device{};
    ASSERT_TRUE(m_monitors->enumDisplayDevices(3, device));
    EXPECT_EQ(Text(FixedText(device.DeviceName)), name.substr(0, 31));
}

} // namespace
} // namespace kestrove::x11
