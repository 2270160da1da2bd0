// The dialog keyboard of the real executable, in the About box and in a
// message box (the help box F1 opens when no help file ships): the OK
// button, the only tab stop, has the focus and keeps it through Tab and
// Shift+Tab, shows its focus rectangle and default frame, and Space, Return
// and Escape each close the box while the mirror stays.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <optional>
#include <string>

namespace kestrove::e2e {
namespace {

struct BoxOpening {
    const char* what;
    std::function<void(KestroveSession&)> open;
    std::string text; // a control of the box starts with it
};

void PrintTo(const BoxOpening& opening, std::ostream* out) {
    *out << opening.what;
}

void OpenAbout(KestroveSession& session) {
    session.pressKey(XK_Menu);
    std::optional<Window> entry;
    ASSERT_TRUE(WaitUntil([&] {
        entry = session.x().findWindow([&](Window w) {
            return session.x().name(w) == "Kestroveについて(A)..." && session.x().viewable(w);
        });
        return entry.has_value();
    }));
    session.x().pressKey(session.x().topLevel(*entry), XK_a);
}

const BoxOpening kOpenings[] = {
    {"AboutBox", OpenAbout, "Kestrove Ver."},
    {"MessageBox", [](KestroveSession& s) { s.pressKey(XK_F1); }, "ヘルプの起動に失敗しました。"},
};

struct OpenBox {
    Window box = 0;
    Window ok = 0;
};

OpenBox Open(KestroveSession& session, const BoxOpening& opening) {
    XClient& x = session.x();
    opening.open(session);
    std::optional<Window> text;
    WaitUntil([&] {
        text = x.findWindow(
            [&](Window w) { return x.name(w).starts_with(opening.text) && x.viewable(w); });
        return text.has_value();
    });
    if (!text) {
        return {};
    }
    const Window box = x.topLevel(*text);
    const std::optional<Window> ok = x.findWindow(
        [&](Window w) { return w != box && x.topLevel(w) == box && x.name(w) == "OK"; });
    return {box, ok.value_or(0)};
}

// The dark dots along the row where the focus rectangle runs.
int FocusDots(XClient& x, Window button) {
    const std::optional<Image> image = x.grab(button);
    if (!image) {
        return 0;
    }
    int dots = 0;
    for (int column = 3; column < image->width - 3; ++column) {
        const Rgb pixel = image->at(column, 3);
        dots += pixel.r < 0x40 && pixel.g < 0x40 && pixel.b < 0x40 ? 1 : 0;
    }
    return dots;
}

bool HasDefaultFrame(XClient& x, Window button) {
    const std::optional<Image> image = x.grab(button);
    return image && image->at(1, image->height / 2) == Rgb{0x00, 0x78, 0xD7};
}

class DialogKeyboard : public testing::TestWithParam<BoxOpening> {};

TEST_P(DialogKeyboard, TabKeepsTheFocusOnOkAndSpaceReturnAndEscapeClose) {
    KestroveSession session(TwoMonitors());
    XClient& x = session.x();
    for (const KeySym closing : {XK_space, XK_Return, XK_Escape}) {
        SCOPED_TRACE(closing == XK_space ? "Space" : closing == XK_Return ? "Return" : "Escape");
        const OpenBox open = Open(session, GetParam());
        ASSERT_NE(open.box, 0u) << "the box does not open";
        ASSERT_NE(open.ok, 0u) << "no OK button";
        const auto focused = [&] { return FocusDots(x, open.ok) > 4; };
        EXPECT_TRUE(WaitUntil(focused)) << "no focus rectangle on OK";
        EXPECT_TRUE(HasDefaultFrame(x, open.ok)) << "OK has no default frame";
        x.pressKey(open.box, XK_Tab);
        x.pressKey(open.box, XK_Tab, {XK_Shift_L});
        EXPECT_TRUE(StaysTrue([&] { return x.viewable(open.box) && focused(); }))
            << "Tab took the focus off OK or closed the box";

        x.pressKey(open.box, closing);
        EXPECT_TRUE(WaitUntil([&] { return !x.viewable(open.box); })) << "the box stays open";
        EXPECT_TRUE(session.kestrove().running() && x.viewable(session.mirror()));
    }
    EXPECT_EQ(session.kestrove().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(Boxes, DialogKeyboard, testing::ValuesIn(kOpenings),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
