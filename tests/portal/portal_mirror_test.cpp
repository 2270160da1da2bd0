// The real executable on mutter's XWayland (portal_chain.sh): mutter offers
// no capture protocol to clients, so the mirror's picture comes through the
// screen-cast portal. Monitors are painted with X windows; the mirror
// window's own pixels are read back.
#include "tests/harness/portal/mirror_on_desktop.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace kestrove::e2e {
namespace {

using namespace std::chrono_literals;

// How often the stand-in back-end was asked for consent so far.
int DialogsShown() {
    std::ifstream log(std::string(std::getenv("KESTROVE_PORTAL_WORK")) + "/logs/backend.log");
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        count += line == "asked";
    }
    return count;
}

class PortalMirror : public MirrorOnMutter {};

TEST_F(PortalMirror, ShowsEachMonitorLiveAndSwitchesWithoutAskingAgain) {
    const Rgb first{200, 30, 40}, second{20, 160, 220}, patch{240, 240, 240};
    paint(0, first);
    paint(1, second);
    start();
    EXPECT_TRUE(showsCentre(first)) << "the mirror shows " << Describe(centre()) << said();
    const int dialogs = DialogsShown();

    EXPECT_TRUE(pressUntil(*mirror, XK_2, {XK_Control_L}, [&] { return Near(centre(), second); }))
        << "after Ctrl+2 the mirror shows " << Describe(centre()) << "; title " << x->name(*mirror)
        << said();

    // A change on the second monitor appears in the mirror.
    const ServerMonitor& m = monitors[1];
    x->showColour({m.x + m.width / 4, m.y + m.height / 4, m.width / 2, m.height / 2}, patch);
    EXPECT_TRUE(showsCentre(patch)) << "the mirror shows " << Describe(centre());
    EXPECT_EQ(DialogsShown(), dialogs);
    EXPECT_EQ(kestrove->standardError(), "");
}

// The desktop stops the share (its "stop sharing" button; a monitor unplugged
// ends mutter's session the same way): one line says so, the mirror keeps its
// last picture and the window keeps working.
TEST_F(PortalMirror, AShareEndedByTheDesktopLeavesTheLastPicture) {
    const Rgb colour{30, 200, 120};
    paint(0, colour);
    start();
    ASSERT_TRUE(showsCentre(colour)) << said();

    ASSERT_EQ(kill(std::atoi(std::getenv("KESTROVE_PORTAL_BACKEND_PID")), SIGUSR1), 0);
    ASSERT_TRUE(WaitUntil([&] { return !kestrove->standardError().empty(); })) << said();
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("ended"), std::string::npos) << error;
    EXPECT_TRUE(Near(centre(), colour)) << Describe(centre());
    EXPECT_TRUE(pressUntil(*mirror, XK_2, {XK_Control_L},
                           [&] { return x->name(*mirror).rfind("Kestrove - [2:2]", 0) == 0; }))
        << x->name(*mirror) << said();
    EXPECT_TRUE(kestrove->running());
    EXPECT_EQ(kestrove->standardError(), error) << "said more than once";
}

// The desktop shares one stream of two monitors, without a place and with a
// size neither monitor has up to one factor (the back-end's --unpairable):
// no rule pairs it. Each monitor chosen is said once not to be told apart,
// the notice says why the mirror is blank, and nothing is asked for again:
// a second dialog would not tell which stream is which either.
class PortalUnpaired : public MirrorOnMutter {};

TEST_F(PortalUnpaired, SaysSoOnceForEachMonitorAndAsksNoMore) {
    paint(0, Rgb{200, 30, 40});
    paint(1, Rgb{20, 160, 220});
    start();
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    EXPECT_TRUE(noticeTextShown(kUnpairedNotice));
    EXPECT_EQ(DialogsShown(), 1);
    auto line = [&](const ServerMonitor& m) {
        return "cannot tell which of the screens shared shows the monitor " + m.name + " at " +
               std::to_string(m.width) + "x" + std::to_string(m.height) + "+" +
               std::to_string(m.x) + "+" + std::to_string(m.y) + "\n";
    };
    const std::string first = kestrove->standardError();
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1) << first;
    EXPECT_NE(first.find(line(monitors[0])), std::string::npos) << first;
    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_EQ(Describe(centre()), Describe(kBlack));

    // The other monitor, then back and forth: its own line once, no dialog,
    // no second notice.
    for (int round = 0; round < 2; ++round) {
        for (const KeySym key : {XK_2, XK_1}) {
            const std::string title = key == XK_2 ? "Kestrove - [2:2]" : "Kestrove - [1:2]";
            EXPECT_TRUE(pressUntil(*mirror, key, {XK_Control_L},
                                   [&] { return x->name(*mirror).rfind(title, 0) == 0; }))
                << x->name(*mirror) << said();
            EXPECT_FALSE(WaitUntil([&] { return DialogsShown() > 1; }, 2s)) << "asked again";
        }
    }
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 2) << "said other than once each";
    EXPECT_EQ(error.rfind(first, 0), 0u) << error;
    EXPECT_NE(error.find(line(monitors[1]), first.size()), std::string::npos) << error;
    EXPECT_FALSE(x->findWindow([&](Window w) {
        return w != *mirror && x->name(w) == "Kestrove" && x->viewable(w);
    })) << "a second notice";
    EXPECT_EQ(Describe(centre()), Describe(kBlack));
    EXPECT_TRUE(kestrove->running());
}

// A portal's answer Kestrove cannot read, or one that never comes: one line
// on standard error, the notice, a blank mirror and a window that works. The
// stand-in portal answers each step with the value of the case.
struct AnswerCase {
    const char* standIn; // standin_screencast_portal's case
    const char* said;    // in the line on standard error
};

class PortalAnswers : public MirrorOnMutter, public testing::WithParamInterface<AnswerCase> {
protected:
    void TearDown() override {
        if (kestrove) {
            kestrove->terminate();
        }
        if (portal) {
            portal->terminate();
        }
    }

    void startPortal(const std::string& standInCase) {
        portal = std::make_unique<ChildProcess>(
            std::vector<std::string>{StandInPortalPath(), standInCase},
            std::vector<EnvironmentChange>{});
        ASSERT_EQ(portal->readLine(kWaitTimeout), "ready") << portal->standardError();
    }

    std::string StandInPortalPath() { return std::string(std::getenv("KESTROVE_STANDIN_PORTAL")); }

    std::unique_ptr<ChildProcess> portal;
};

TEST_P(PortalAnswers, GiveTheNoticeABlankMirrorAndAWorkingWindow) {
    const AnswerCase& c = GetParam();
    paint(0, Rgb{200, 30, 40});
    startPortal(c.standIn);
    start();
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    EXPECT_TRUE(noticeTextShown());
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find(c.said), std::string::npos) << error;

    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_EQ(Describe(centre()), Describe(kBlack));
    EXPECT_TRUE(windowWorks()) << x->name(*mirror) << said();
    EXPECT_EQ(kestrove->standardError(), error) << "said more than once";
}

// Refused by the user, or by a desktop that cannot cast: the notice says
// which, in the user's words.
struct RefusalCase {
    const char* standIn;
    const std::string* notice;
    const char* said;
};

class PortalRefusals : public PortalAnswers {};

TEST_F(PortalRefusals, TheNoticeSaysWhoRefused) {
    const RefusalCase cases[] = {
        {"refuse:1", &kRefusedNotice, "refused"},
        {"refuse:2", &kCouldNotCastNotice, "answer 2"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.standIn);
        startPortal(c.standIn);
        start();
        const std::optional<Window> box = notice();
        ASSERT_TRUE(box) << "no notice" << said();
        EXPECT_TRUE(noticeTextShown(*c.notice));
        EXPECT_NE(kestrove->standardError().find(c.said), std::string::npos) << said();
        kestrove->terminate();
        portal->terminate();
    }
}

constexpr const char* kUnreadable = "the screen-cast portal sent an answer Kestrove cannot read";
constexpr const char* kSilent = "did not answer";

INSTANTIATE_TEST_SUITE_P(StandIn, PortalAnswers,
                         testing::Values(AnswerCase{"wrong:session_handle:u", kUnreadable},
                                         AnswerCase{"wrong:session_handle:t", kUnreadable},
                                         AnswerCase{"wrong:session_handle:as", kUnreadable},
                                         AnswerCase{"wrong:reply:s", kUnreadable},
                                         AnswerCase{"wrong:response:s", kUnreadable},
                                         AnswerCase{"wrong:AvailableSourceTypes:s", kUnreadable},
                                         AnswerCase{"wrong:streams:s", kUnreadable},
                                         AnswerCase{"wrong:position:(uu)", kUnreadable},
                                         AnswerCase{"wrong:size:s", kUnreadable},
                                         AnswerCase{"wrong:source_type:s", kUnreadable},
                                         AnswerCase{"silent:GetAll", kSilent},
                                         AnswerCase{"silent:CreateSession", kSilent}),
                         [](const testing::TestParamInfo<AnswerCase>& info) {
                             std::string name;
                             for (const char* c = info.param.standIn; *c != '\0'; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

// The dialog open and never answered: the window is up and works, the dialog
// is told its parent, and closing Kestrove withdraws the request and exits
// at once.
TEST_F(PortalAnswers, AnOpenDialogHoldsNothingBackAndIsWithdrawnOnClose) {
    paint(0, Rgb{200, 30, 40});
    startPortal("silent:Start");
    start();
    char parent[32];
    std::snprintf(parent, sizeof parent, "parent x11:%lx", *mirror);
    EXPECT_EQ(portal->readLine(kWaitTimeout), parent);
    EXPECT_TRUE(windowWorks()) << said();
    EXPECT_EQ(Describe(centre()), Describe(kBlack));

    x->sendDeleteWindow(*mirror);
    const std::optional<ExitStatus> ended = kestrove->waitExit(kWaitTimeout);
    ASSERT_TRUE(ended) << "Kestrove did not exit" << said();
    EXPECT_EQ(portal->readLine(kWaitTimeout), "withdrawn");
    EXPECT_EQ(kestrove->standardError(), "");
    kestrove.reset();
}

// The dialog open when the portal is replaced by a fresh one (as
// `xdg-desktop-portal --replace` does): the new one knows nothing of the
// request, so Kestrove says the portal left, once, instead of waiting for
// an answer that cannot come.
TEST_F(PortalAnswers, APortalReplacedWhileItsDialogIsOpenGivesTheNotice) {
    startPortal("silent:Start");
    start();
    ASSERT_EQ(portal->readLine(kWaitTimeout).value_or("").rfind("parent ", 0), 0u) << said();
    const std::unique_ptr<ChildProcess> first = std::move(portal);
    startPortal("silent:Start");
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("left the bus"), std::string::npos) << error;
    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_TRUE(windowWorks()) << said();
    first->terminate();
}

// A bus where the portal's front-end starts but finds no back-end for this
// desktop: the notice, as for any portal that cannot share.
TEST_F(PortalAnswers, NoBackEndGivesTheNotice) {
    paint(0, Rgb{200, 30, 40});
    start();
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_EQ(error.find("ext-image-copy-capture"), std::string::npos) << error;
    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_TRUE(windowWorks()) << said();
}

} // namespace
} // namespace kestrove::e2e
