// The X server killed under a running Kestrove: it ends by itself with a
// line that says why and a failure status; it does not hang.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/xvfb_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

namespace kestrove::e2e {
namespace {

using std::chrono::milliseconds;

TEST(ServerLoss, EndsAtOnceWithAClearLineAndAFailureStatus) {
    XvfbServer server(1600, 1000);
    ChildProcess fixture({MonitorFixturePath(), "--display", server.display(), "800x600+700+0*"},
                         {});
    ASSERT_EQ(fixture.readLine(kWaitTimeout), "ready") << fixture.standardError();
    ChildProcess kestrove({KestrovePath()}, {{"DISPLAY", server.display()}});
    {
        // The test's own connection is closed before the server goes.
        XClient x(server.display());
        ASSERT_TRUE(WaitUntil([&] {
            return x
                .findWindow([&](Window w) { return x.wmClass(w) == "Kestrove" && x.viewable(w); })
                .has_value();
        })) << kestrove.standardError();
    }

    ::kill(server.process().pid(), SIGKILL);
    const auto killed = Clock::now();
    // Bounded far beyond what is expected, so only a hang fails it.
    const auto status = kestrove.waitExit(kWaitTimeout);
    ASSERT_TRUE(status) << "Kestrove still runs without its X server";
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - killed);
    RecordProperty("exit_ms", static_cast<int>(took.count()));
    std::printf("Kestrove ended %lld ms after its X server was killed\n",
                static_cast<long long>(took.count()));

    EXPECT_TRUE(status->exited) << status->describe();
    EXPECT_NE(status->code, 0);
    EXPECT_EQ(kestrove.standardError(), "Kestrove: lost the connection to the X display\n");
}

} // namespace
} // namespace kestrove::e2e
