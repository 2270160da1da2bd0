// The end of a modal run: the dialog's own DestroyWindow runs once, whether
// the run went through or the window could not be made.
#include "program/framework/dialog.h"
#include "res/resource_ids.h"
#include "tests/fake/recording_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kestrove::testing {
namespace {

using ::testing::Contains;
using ::testing::Not;

class CountingDialog : public Dialog {
public:
    CountingDialog() : Dialog(IDD_ABOUT) {}
    bool DestroyWindow() override {
        ++destroyCalls;
        hadWindow = GetSafeHwnd() != 0;
        return Dialog::DestroyWindow();
    }
    int destroyCalls = 0;
    bool hadWindow = false;
    std::function<void()> init = [] {};

protected:
    bool OnInitDialog() override {
        init();
        return Dialog::OnInitDialog();
    }
};

TEST(ModalRun, EndsWithTheDialogsDestroyWindowOnEveryPath) {
    struct Case {
        const char* name;
        bool created;
        std::function<void()> init;
        std::intptr_t result;
        bool hadWindow;
    } const cases[] = {
        {"the run goes through", true, [] {}, win::IDCANCEL, true},
        {"the window cannot be made", false, [] {}, -1, false},
        {"initialisation throws", true, [] { throw std::runtime_error("init"); }, -1, true},
        {"initialisation runs out of memory", true, [] { throw std::bad_alloc(); }, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlatform platform;
        platform.dialogCreated = c.created;
        platform.duringModal = [](DialogEvents& events) { events.deliverCommand(win::IDCANCEL); };
        CountingDialog dialog;
        dialog.init = c.init;

        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.destroyCalls, 1);
        EXPECT_EQ(dialog.hadWindow, c.hadWindow);
        EXPECT_EQ(dialog.GetSafeHwnd(), 0u);
        EXPECT_TRUE(platform.openDialogs.empty()) << "a window made is destroyed";
        if (!c.hadWindow) {
            EXPECT_THAT(platform.calls, Not(Contains("destroyWindow")));
        }
    }
}

} // namespace
} // namespace kestrove::testing
