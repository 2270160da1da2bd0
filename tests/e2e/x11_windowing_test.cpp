// The mirror window's context menu, the About box it opens, and the ways a
// user ends the program, on the real executable.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kestrove::e2e {
namespace {

using std::chrono::seconds;

const std::string kCloseEntry = "閉じる(C)";
const std::string kAboutEntry = "Kestroveについて(A)...";
const std::string kAboutCaption = "Kestrove について";

std::optional<Window> FindViewable(KestroveSession& session, const std::string& name) {
    return session.x().findWindow([&](Window window) {
        return session.x().viewable(window) && session.x().name(window) == name;
    });
}

// Waits for a viewable window named `name`; nullopt when none comes.
std::optional<Window> WaitForViewable(KestroveSession& session, const std::string& name) {
    std::optional<Window> found;
    WaitUntil([&] {
        found = FindViewable(session, name);
        return found.has_value();
    });
    return found;
}

struct MenuOpening {
    const char* what;
    std::function<void(KestroveSession&)> open;
};

void PrintTo(const MenuOpening& opening, std::ostream* out) {
    *out << opening.what;
}

const MenuOpening kMenuOpenings[] = {
    {"RightClick", [](KestroveSession& s) { s.x().click(s.mirror(), 40, 40, 3); }},
    {"MenuKey", [](KestroveSession& s) { s.pressKey(XK_Menu); }},
    {"ShiftF10", [](KestroveSession& s) { s.pressKey(XK_F10, {XK_Shift_L}); }},
};

class MirrorMenu : public testing::TestWithParam<MenuOpening> {};

TEST_P(MirrorMenu, OpensWithCloseAndAboutAndItsAccessKeyOpensTheAboutBox) {
    KestroveSession session(TwoMonitors());
    GetParam().open(session);

    const auto close = WaitForViewable(session, kCloseEntry);
    const auto about = WaitForViewable(session, kAboutEntry);
    ASSERT_TRUE(close && about) << "the menu's entries are not shown";
    const Window menu = session.x().topLevel(*about);
    EXPECT_EQ(session.x().topLevel(*close), menu);
    EXPECT_NE(menu, session.mirror());
    const auto closeAt = session.x().geometry(*close);
    const auto aboutAt = session.x().geometry(*about);
    ASSERT_TRUE(closeAt && aboutAt);
    EXPECT_GT(aboutAt->y, closeAt->y + closeAt->height) << "no separator between the entries";

    session.x().pressKey(menu, XK_a);
    const auto box = WaitForViewable(session, kAboutCaption);
    ASSERT_TRUE(box) << "no About box";
    EXPECT_FALSE(session.x().viewable(menu)) << "the menu stays open";
    EXPECT_EQ(session.x().wmName(*box), kAboutCaption) << "WM_NAME differs from _NET_WM_NAME";
    EXPECT_EQ(session.x().topLevel(*box), *box);
    EXPECT_TRUE(FindViewable(session, "Kestrove Ver.:2-0-0-100")) << "no version label";
    EXPECT_TRUE(FindViewable(session, "OK"));
}

INSTANTIATE_TEST_SUITE_P(Windowing, MirrorMenu, testing::ValuesIn(kMenuOpenings),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(Windowing, EscapeOrAClickElsewhereClosesTheMenuAndChoosesNothing) {
    KestroveSession session(TwoMonitors());
    const auto dismissals = {
        std::function<void(Window)>([&](Window menu) { session.x().pressKey(menu, XK_Escape); }),
        std::function<void(Window)>([&](Window) {
            session.x().click(session.mirror(), session.geometry().width - 5, 5, 1);
        }),
    };
    for (const auto& dismiss : dismissals) {
        session.x().click(session.mirror(), 40, 40, 3);
        const auto about = WaitForViewable(session, kAboutEntry);
        ASSERT_TRUE(about);
        const Window menu = session.x().topLevel(*about);
        dismiss(menu);
        EXPECT_TRUE(WaitUntil([&] { return !session.x().viewable(menu); }));
        EXPECT_TRUE(StaysTrue([&] { return !FindViewable(session, kAboutCaption); }));
        EXPECT_TRUE(session.kestrove().running());
    }
}

struct AboutClosing {
    const char* what;
    std::function<void(KestroveSession&, Window box)> close;
};

void PrintTo(const AboutClosing& closing, std::ostream* out) {
    *out << closing.what;
}

const AboutClosing kAboutClosings[] = {
    {"Return", [](KestroveSession& s, Window box) { s.x().pressKey(box, XK_Return); }},
    {"Escape", [](KestroveSession& s, Window box) { s.x().pressKey(box, XK_Escape); }},
    {"CloseButton", [](KestroveSession& s, Window box) { s.x().sendDeleteWindow(box); }},
    {"ClickOk",
     [](KestroveSession& s, Window) {
         const auto ok = FindViewable(s, "OK");
         ASSERT_TRUE(ok);
         s.x().click(*ok, 5, 5, 1);
     }},
};

class ModalAbout : public testing::TestWithParam<AboutClosing> {};

// While the box is open the mirror takes no input but goes on mirroring;
// once it is closed the mirror takes keys again.
TEST_P(ModalAbout, IsModalOverALiveMirrorAndCloses) {
    KestroveSession session(TwoMonitors());
    session.x().click(session.mirror(), 40, 40, 3);
    const auto entry = WaitForViewable(session, kAboutEntry);
    ASSERT_TRUE(entry);
    session.x().click(*entry, 5, 5, 1);
    const auto box = WaitForViewable(session, kAboutCaption);
    ASSERT_TRUE(box) << "choosing the entry opened no About box";

    const std::string title = session.title();
    session.pressKey(XK_2, {XK_Control_L});
    session.x().click(session.mirror(), 40, 40, 3);
    EXPECT_TRUE(StaysTrue([&] { return session.title() == title; })) << session.title();
    EXPECT_FALSE(FindViewable(session, kAboutEntry)) << "a menu opened over a modal box";

    const MonitorGeometry& primary = session.monitors()[0];
    const Rgb cover{250, 20, 200};
    const Window colour =
        session.x().showColour({primary.x, primary.y, primary.width, primary.height}, cover);
    EXPECT_TRUE(WaitUntil([&] {
        const auto image = session.x().grab(session.mirror());
        return image && image->at(4, 4) == cover;
    })) << "the mirror stopped refreshing under the About box";
    session.x().destroyWindow(colour);

    GetParam().close(session, *box);
    EXPECT_TRUE(WaitUntil([&] { return !session.x().viewable(*box); }));
    EXPECT_TRUE(session.kestrove().running());
    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }))
        << session.title();
}

INSTANTIATE_TEST_SUITE_P(Windowing, ModalAbout, testing::ValuesIn(kAboutClosings),
                         [](const auto& info) { return std::string(info.param.what); });

struct Ending {
    const char* what;
    std::function<void(KestroveSession&)> end;
};

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.what;
}

const Ending kEndings[] = {
    {"AltF4", [](KestroveSession& s) { s.pressKey(XK_F4, {XK_Alt_L}); }},
    {"MenuClose",
     [](KestroveSession& s) {
         s.x().click(s.mirror(), 40, 40, 3);
         const auto close = WaitForViewable(s, kCloseEntry);
         ASSERT_TRUE(close);
         s.x().pressKey(s.x().topLevel(*close), XK_c);
     }},
};

class UserEnds : public testing::TestWithParam<Ending> {};

TEST_P(UserEnds, TheProcessWithStatusZero) {
    KestroveSession session(TwoMonitors());
    GetParam().end(session);
    const auto status = session.kestrove().waitExit(seconds(10));
    ASSERT_TRUE(status) << "still running";
    EXPECT_TRUE(status->exited) << status->describe();
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(session.kestrove().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(Windowing, UserEnds, testing::ValuesIn(kEndings),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
