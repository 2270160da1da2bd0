#include "platform/x11/magnifier/compositor_capture_state.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

using State = CompositorCaptureState;

State Capturing() {
    State state;
    EXPECT_TRUE(state.chosen(false));
    state.lookingFor();
    state.selected();
    return state;
}

TEST(CompositorCaptureState, SaysAFailureOncePerMonitorAndStartsOverOnlyForAnotherMonitor) {
    State state = Capturing();
    EXPECT_FALSE(state.chosen(true)) << "the monitor captured is not looked for again";
    EXPECT_TRUE(state.refresh());

    EXPECT_TRUE(state.failed());
    EXPECT_FALSE(state.captureFailed()) << "said already";
    EXPECT_FALSE(state.refresh()) << "no frame is asked for after a failure";
    EXPECT_TRUE(state.takesFrames()) << "frames still coming are shown";
    EXPECT_TRUE(state.waitsForOutputs());
    EXPECT_FALSE(state.chosen(true));

    // Back when the outputs change: found, or still lost and not said again.
    state.lookingFor();
    state.stillLost();
    EXPECT_TRUE(state.waitsForOutputs());
    EXPECT_FALSE(state.failed());
    EXPECT_TRUE(state.chosen(true)) << "a lost monitor chosen again is looked for again";
    state.lookingFor();
    EXPECT_TRUE(state.unavailable(false)) << "a monitor chosen anew says its failure";
}

TEST(CompositorCaptureState, AFailureWhileAskingIsSaidOnceAndTheAnswerIsAwaited) {
    State state;
    ASSERT_TRUE(state.chosen(false));
    state.lookingFor();
    state.asking();
    EXPECT_TRUE(state.awaitsAnswer());
    EXPECT_FALSE(state.chosen(true));
    EXPECT_FALSE(state.refresh());

    EXPECT_TRUE(state.captureFailed());
    EXPECT_TRUE(state.awaitsAnswer());
    EXPECT_FALSE(state.waitsForOutputs()) << "the answer comes first";
    // The desktop declines: not said again, still waiting for the outputs.
    state.lookingFor();
    EXPECT_FALSE(state.unavailable(true));
    EXPECT_TRUE(state.waitsForOutputs());
    EXPECT_FALSE(state.takesFrames());
}

TEST(CompositorCaptureState, OwesTheUserANoticeOnlyWhileNothingWasShownOrAfterAskingAgain) {
    struct Case {
        const char* what;
        bool shown;
        bool (*fail)(State&);
        bool noticed;
    };
    const Case cases[] = {
        {"capture ends before any frame", false, [](State& s) { return s.captureFailed(); }, true},
        {"capture ends after frames", true, [](State& s) { return s.captureFailed(); }, false},
        {"a frame the server cannot take", false, [](State& s) { return s.failed(); }, false},
        {"no output before any frame", false,
         [](State& s) {
             s.lookingFor();
             return s.unavailable(false);
         },
         true},
        {"no output after frames", true,
         [](State& s) {
             s.lookingFor();
             return s.unavailable(false);
         },
         false},
        {"declined when asked once more", true,
         [](State& s) {
             s.lookingFor();
             return s.unavailable(true);
         },
         true},
        {"shared screens not told apart", true,
         [](State& s) {
             s.lookingFor();
             return s.unpaired(false);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        State state = Capturing();
        if (c.shown) {
            state.uploading();
            state.uploadRead();
        }
        EXPECT_EQ(state.everShown(), c.shown);
        EXPECT_TRUE(c.fail(state)) << "said";
        EXPECT_EQ(state.takeNotice(), c.noticed);
        EXPECT_FALSE(state.takeNotice()) << "a notice is given once";
    }
}

// Each monitor chosen whose screen cannot be told apart is said once: the
// source knows which were told, the state waits for the outputs either way.
TEST(CompositorCaptureState, ScreensNotToldApartAreSaidOnceForEachMonitor) {
    State state;
    ASSERT_TRUE(state.chosen(false));
    state.lookingFor();
    EXPECT_TRUE(state.unpaired(false));
    EXPECT_TRUE(state.waitsForOutputs());
    EXPECT_TRUE(state.takeNotice());
    ASSERT_TRUE(state.chosen(false)) << "another monitor";
    state.lookingFor();
    EXPECT_FALSE(state.unpaired(true)) << "told before";
    EXPECT_TRUE(state.waitsForOutputs());
    EXPECT_FALSE(state.awaitsAnswer()) << "nothing asked again";
    EXPECT_FALSE(state.takeNotice()) << "a notice is given once";
}

TEST(CompositorCaptureState, AsksForAFrameOnlyOnceTheServerHasReadTheLast) {
    State state = Capturing();
    EXPECT_TRUE(state.firstFrameTaken());
    EXPECT_FALSE(state.firstFrameTaken()) << "only the output's first frame is new all over";
    state.uploading();
    EXPECT_FALSE(state.uploadRead()) << "no refresh came meanwhile";

    state.uploading();
    EXPECT_FALSE(state.refresh()) << "the server still reads";
    state.uploading(); // a frame the compositor sent on its own
    EXPECT_TRUE(state.uploadRead()) << "the refresh's request is owed";
    EXPECT_TRUE(state.refresh());

    // Another output: its first frame is new all over, and it need not wait.
    state.uploading();
    state.lookingFor();
    state.selected();
    EXPECT_TRUE(state.refresh());
    EXPECT_TRUE(state.firstFrameTaken());
    EXPECT_EQ(state.upload(), State::Upload::Idle);
}

} // namespace
} // namespace kestrove::x11
