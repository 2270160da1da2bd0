#include "program/about/about_dlg.h"

#include "common/utf.h"
#include "program/mirror/kestrove_dlg.h"
#include "res/resource_ids.h"
#include "tests/fake/recording_platform.h"
#include "tools/version_info/version_block_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace kestrove::testing {
namespace {

using ::testing::ElementsAre;

class AboutBoxTest : public ::testing::Test {
protected:
    AboutBoxTest() {
        platform.versionFile = versioninfo::LayOut(versioninfo::VersionInfoTree(res::kVersion));
    }
    RecordingPlatform platform;
};

TEST_F(AboutBoxTest, ShowsTheLabelBeforeTheModalRunAndEndsWithOk) {
    platform.dialogItems[IDC_VERSION_LABEL] = u"Kestrove、バージョン 1.0";
    CAboutDlg about;
    std::string shownDuringRun;
    platform.duringModal = [&](DialogEvents& events) {
        shownDuringRun = ToUtf8(platform.dialogItems[IDC_VERSION_LABEL]);
        events.deliverCommand(win::IDOK);
    };
    EXPECT_EQ(about.DoModal(), win::IDOK);
    EXPECT_EQ(shownDuringRun, "Kestrove Ver.:2-0-0-100");
    EXPECT_EQ(ToUtf8(about.m_strVersion), "Kestrove Ver.:2-0-0-100");
    EXPECT_THAT(platform.dialogsMade, ElementsAre(IDD_ABOUT));
    EXPECT_TRUE(platform.openDialogs.empty());
}

TEST_F(AboutBoxTest, MenuEntryNeedsASystemMenuAndAText) {
    const struct {
        bool systemMenu;
        std::map<int, std::u16string> strings;
        std::vector<MenuEntry> entries;
    } cases[] = {
        {true,
         {{IDS_ABOUT_MENU, u"Kestroveについて(&A)..."}},
         {{win::MF_SEPARATOR, 0, u""}, {win::MF_STRING, IDM_ABOUT, u"Kestroveについて(&A)..."}}},
        {false, {{IDS_ABOUT_MENU, u"Kestroveについて(&A)..."}}, {}},
        {true, {}, {}},
    };
    for (const auto& c : cases) {
        platform.systemMenu = c.systemMenu;
        platform.useResourceStrings = false;
        platform.strings = c.strings;
        platform.menuEntries.clear();
        AppendAboutEntry(RecordingPlatform::kDialog);
        EXPECT_EQ(platform.menuEntries, c.entries);
    }
}

// The mirror window opens the box for every system command whose value,
// low four bits cleared, is the About command.
TEST_F(AboutBoxTest, EveryCommandOfTheAboutRangeOpensTheBox) {
    platform.monitors = {{{0, 0, 800, 600}, {0, 0, 800, 600}, 1, u"DP-1"}};
    std::vector<std::uint32_t> opened;
    platform.duringModal = [&](DialogEvents& events) {
        for (std::uint32_t command = 0x0000; command < 0x0030; ++command) {
            platform.dialogsMade.clear();
            events.deliverSysCommand(command, 0);
            if (platform.dialogsMade == std::vector<int>{IDD_ABOUT}) {
                opened.push_back(command);
            }
        }
    };
    ::testing::internal::CaptureStdout();
    CKestroveDlg dlg;
    dlg.DoModal();
    ::testing::internal::GetCapturedStdout();
    std::vector<std::uint32_t> expected(16);
    std::iota(expected.begin(), expected.end(), IDM_ABOUT);
    EXPECT_EQ(opened, expected);
}

} // namespace
} // namespace kestrove::testing
