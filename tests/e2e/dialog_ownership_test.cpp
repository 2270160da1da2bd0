// Dialogs keep the keyboard as Windows' do: a message box raised from the
// About box is the About box's own and the About box waits under it; when
// a box closes, the keyboard is back where it was; Return and Escape with
// Shift or Ctrl do on the mirror what they do alone (nothing); the boxes
// are captioned with the application's name whatever the file is called.
// And closing never hangs while another client changes the root's cursor.
#include "tests/harness/cursor_changer.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <filesystem>
#include <thread>

namespace kestrove::e2e {
namespace {

constexpr const char* kHelpFailed = "ヘルプの起動に失敗しました。";

// The top-level window of the visible control whose name starts with `text`.
std::optional<Window> BoxShowing(XClient& x, const std::string& text) {
    const auto control =
        x.findWindow([&](Window w) { return x.name(w).starts_with(text) && x.viewable(w); });
    return control ? std::optional(x.topLevel(*control)) : std::nullopt;
}

int BoxesShowing(XClient& x, const std::string& text) {
    int count = 0;
    x.findWindow([&](Window w) {
        count += x.name(w).starts_with(text) && x.viewable(w) ? 1 : 0;
        return false;
    });
    return count;
}

// A key typed wherever the keyboard's focus is now, as a user types it.
void Type(const std::string& display, KeySym key) {
    Display* d = XOpenDisplay(display.c_str());
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, key), True, CurrentTime);
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, key), False, CurrentTime);
    XCloseDisplay(d);
}

Window Focus(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    XCloseDisplay(d);
    return focus;
}

Window TransientFor(const std::string& display, Window window) {
    Display* d = XOpenDisplay(display.c_str());
    Window owner = 0;
    XGetTransientForHint(d, window, &owner);
    XCloseDisplay(d);
    return owner;
}

TEST(DialogOwnership, AMessageBoxFromTheAboutBoxIsItsOwnAndTheKeyboardComesBack) {
    KestroveSession session(TwoMonitors());
    XClient& x = session.x();
    session.pressKey(XK_Menu);
    std::optional<Window> entry;
    ASSERT_TRUE(WaitUntil([&] {
        entry = x.findWindow(
            [&](Window w) { return x.name(w) == "Kestroveについて(A)..." && x.viewable(w); });
        return entry.has_value();
    }));
    x.pressKey(x.topLevel(*entry), XK_a);
    std::optional<Window> about;
    ASSERT_TRUE(WaitUntil([&] { return (about = BoxShowing(x, "Kestrove Ver.")).has_value(); }));

    x.pressKey(*about, XK_F1);
    std::optional<Window> box;
    ASSERT_TRUE(WaitUntil([&] { return (box = BoxShowing(x, kHelpFailed)).has_value(); }));
    EXPECT_EQ(TransientFor(session.display(), *box), *about) << "the box is not the About box's";
    // The About box waits under its box: F1 there raises no second one.
    x.pressKey(*about, XK_F1);
    EXPECT_TRUE(StaysTrue([&] { return BoxesShowing(x, kHelpFailed) == 1; }));

    x.pressKey(*box, XK_Return);
    ASSERT_TRUE(WaitUntil([&] { return !x.viewable(*box); }));
    EXPECT_TRUE(WaitUntil([&] { return Focus(session.display()) == *about; }))
        << "the keyboard did not come back to the About box";
    Type(session.display(), XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return !x.viewable(*about); })) << "Escape did not close it";
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.kestrove().standardError(), "");
}

TEST(DialogOwnership, ShiftOrCtrlWithReturnOrEscapeDoesNothingOnTheMirror) {
    KestroveSession session(TwoMonitors());
    const struct {
        KeySym key;
        KeySym modifier;
    } chords[] = {{XK_Return, XK_Shift_L},   {XK_Return, XK_Control_L},
                  {XK_Escape, XK_Shift_L},   {XK_Escape, XK_Control_L},
                  {XK_KP_Enter, XK_Shift_L}, {XK_KP_Enter, XK_Control_L}};
    for (const auto& chord : chords) {
        SCOPED_TRACE(XKeysymToString(chord.modifier) + std::string("+") +
                     XKeysymToString(chord.key));
        session.pressKey(chord.key, {chord.modifier});
        EXPECT_TRUE(StaysTrue([&] {
            return session.kestrove().running() && session.x().viewable(session.mirror());
        })) << "it closed the mirror";
    }
}

TEST(DialogOwnership, TheBoxesCaptionIsTheApplicationsNameWhateverTheFileIsCalled) {
    // Installed as /usr/bin/kestrove, the file's name is all in lower case.
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("kestrove-named-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    const std::filesystem::path renamed = directory / "kestrove";
    std::filesystem::copy_file(KestrovePath(), renamed,
                               std::filesystem::copy_options::overwrite_existing);
    {
        KestroveSession session(TwoMonitors(), 2560, 1600, renamed.string());
        session.pressKey(XK_F1);
        std::optional<Window> box;
        ASSERT_TRUE(
            WaitUntil([&] { return (box = BoxShowing(session.x(), kHelpFailed)).has_value(); }));
        EXPECT_EQ(session.x().name(*box), "Kestrove");
    }
    std::filesystem::remove_all(directory);
}

// Closing never hangs, whatever events are on their way: another client
// changes the root's cursor all the time while Kestrove closes.
TEST(Exit, NeverHangsWhileAnotherClientChangesTheRootCursor) {
    constexpr int kCloses = 20;
    XvfbServer server(1280, 800);
    XClient x(server.display());
    x.movePointer(1200, 760); // over the root, where its cursor shows
    CursorChanger changer(server.display());
    int closed = 0;
    for (int i = 0; i < kCloses; ++i) {
        ChildProcess kestrove({KestrovePath()}, {{"DISPLAY", server.display()}});
        std::optional<Window> mirror;
        ASSERT_TRUE(WaitUntil([&] { return (mirror = FindMirrorWindow(x)).has_value(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        x.sendDeleteWindow(*mirror);
        const auto status = kestrove.waitExit(std::chrono::seconds(10));
        EXPECT_TRUE(status.has_value()) << "close " << i + 1 << " hangs";
        closed += status && status->exited && status->code == 0 ? 1 : 0;
        WaitUntil([&] { return !FindMirrorWindow(x).has_value(); });
    }
    EXPECT_EQ(closed, kCloses);
    std::printf("closes without a hang: %d of %d\n", closed, kCloses);
}

} // namespace
} // namespace kestrove::e2e
