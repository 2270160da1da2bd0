#include "program/monitors/multi_display.h"
#include "tests/fake/recording_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrove::testing {
namespace {

using ::testing::ElementsAre;

class MonitorListTest : public ::testing::Test {
protected:
    void TearDown() override { CMultiDisplay::ReleaseInstance(); }

    // Fills a fresh list from the fake's monitors; returns what was printed.
    std::string Fill() {
        ::testing::internal::CaptureStdout();
        ThePlatform().displays.enumDisplayMonitors(
            MonitorEnumProc, reinterpret_cast<std::intptr_t>(CMultiDisplay::GetInstance()));
        return ::testing::internal::GetCapturedStdout();
    }

    static std::vector<std::u16string> Devices() {
        std::vector<std::u16string> names;
        for (const MonitorEntry& entry : g_pMultiDisplay->m_entries) {
            names.emplace_back(entry.info.szDevice);
        }
        return names;
    }

    RecordingPlatform platform;
};

TEST_F(MonitorListTest, OneMonitorGivesOneEntryAndFourLines) {
    platform.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 1, u"DP-1"}};
    EXPECT_EQ(Fill(), "rcMonitor top=0, left=0, bottom=1080, right=1920\n"
                      "rcWork top=0, left=0, bottom=1040, right=1920\n"
                      "Flag = 1\n"
                      "rcMonitor top=0, left=0, bottom=1080, right=1920\n");
    EXPECT_EQ(g_pMultiDisplay->m_nCount, 1);
    EXPECT_THAT(Devices(), ElementsAre(u"DP-1"));
    EXPECT_EQ(g_pMultiDisplay->m_entries[0].info.cbSize, kMonitorInfoExSize);
}

TEST_F(MonitorListTest, PrimaryGoesFirstWhileLinesKeepReportingOrder) {
    platform.monitors = {
        {{-1920, -200, 0, 880}, {-1920, -200, 0, 880}, 0, u"A"},
        {{0, 0, 2560, 1440}, {0, 0, 2560, 1400}, 1, u"B"},
        {{2560, 0, 3840, 1024}, {2560, 0, 3840, 1024}, 0, u"C"},
    };
    const std::string lines = Fill();
    EXPECT_THAT(Devices(), ElementsAre(u"B", u"A", u"C"));
    EXPECT_EQ(g_pMultiDisplay->m_nCount, 3);
    EXPECT_EQ(lines, "rcMonitor top=-200, left=-1920, bottom=880, right=0\n"
                     "rcWork top=-200, left=-1920, bottom=880, right=0\n"
                     "Flag = 0\n"
                     "rcMonitor top=-200, left=-1920, bottom=880, right=0\n"
                     "rcMonitor top=0, left=0, bottom=1440, right=2560\n"
                     "rcWork top=0, left=0, bottom=1400, right=2560\n"
                     "Flag = 1\n"
                     "rcMonitor top=0, left=0, bottom=1440, right=2560\n"
                     "rcMonitor top=0, left=2560, bottom=1024, right=3840\n"
                     "rcWork top=0, left=2560, bottom=1024, right=3840\n"
                     "Flag = 0\n"
                     "rcMonitor top=0, left=2560, bottom=1024, right=3840\n");
}

TEST_F(MonitorListTest, MonitorWithoutInformationBecomesZeroEntryAtTheEnd) {
    platform.monitors = {
        {{0, 0, 800, 600}, {}, 0, u"X", /*infoFails=*/true},
        {{800, 0, 1600, 600}, {800, 0, 1600, 600}, 1, u"P"},
    };
    const std::string lines = Fill();
    EXPECT_EQ(g_pMultiDisplay->m_nCount, 2);
    const MonitorEntry& failed = g_pMultiDisplay->m_entries[1];
    EXPECT_EQ(failed.info.cbSize, kMonitorInfoExSize);
    EXPECT_EQ(failed.info.rcMonitor, Rect{});
    EXPECT_EQ(failed.info.dwFlags, 0u);
    EXPECT_EQ(failed.info.szDevice[0], u'\0');
    EXPECT_EQ(lines.substr(0, lines.find("rcMonitor top=0, left=800")),
              "rcMonitor top=0, left=0, bottom=0, right=0\n"
              "rcWork top=0, left=0, bottom=0, right=0\n"
              "Flag = 0\n"
              "rcMonitor top=0, left=0, bottom=600, right=800\n");
}

TEST_F(MonitorListTest, OnlyFlagValueOneCountsAsPrimary) {
    platform.monitors = {{{0, 0, 10, 10}, {}, 0, u"first"}, {{10, 0, 20, 10}, {}, 3, u"odd"}};
    Fill();
    EXPECT_THAT(Devices(), ElementsAre(u"first", u"odd"));
}

TEST_F(MonitorListTest, InstanceLifecycle) {
    CMultiDisplay::ReleaseInstance(); // nothing to release: no effect
    EXPECT_EQ(g_pMultiDisplay, nullptr);
    CMultiDisplay* first = CMultiDisplay::GetInstance();
    EXPECT_EQ(CMultiDisplay::GetInstance(), first);
    first->m_nCount = 4;
    CMultiDisplay::ReleaseInstance();
    EXPECT_EQ(g_pMultiDisplay, nullptr);
    EXPECT_EQ(CMultiDisplay::GetInstance()->m_nCount, 0);
    EXPECT_TRUE(g_pMultiDisplay->m_entries.empty());
}

} // namespace
} // namespace kestrove::testing
