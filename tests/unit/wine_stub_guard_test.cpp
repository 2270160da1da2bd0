// The guard around calls into DLLs that may be Wine's stubs, under Wine or
// Windows: Wine's stub exception is raised here as Wine's generated stub
// code raises it (non-continuable, the module and function names attached).
#include "platform/win32/wine_stub_guard.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using kestrove::win32::CallUnlessWineStub;

[[noreturn]] void RaiseWineStub() {
    static const char kModule[] = "magnification.dll";
    static const char kFunction[] = "MagInitialize";
    const ULONG_PTR names[] = {reinterpret_cast<ULONG_PTR>(kModule),
                               reinterpret_cast<ULONG_PTR>(kFunction)};
    for (;;) {
        RaiseException(0x80000100, EXCEPTION_NONCONTINUABLE, 2, names);
    }
}

// Frames between the guard and the stub, as Wine's own are: the guard must
// come back past them.
__attribute__((noinline)) int StubBelow() {
    RaiseWineStub();
}

__attribute__((noinline)) int CallStubThrough() {
    return StubBelow() + 1;
}

TEST(WineStubGuard, ACallThatReturnsIsMadeOnce) {
    int calls = 0;
    auto call = [&] { ++calls; };
    EXPECT_TRUE(CallUnlessWineStub(call));
    EXPECT_EQ(calls, 1);
}

TEST(WineStubGuard, AStubEndsTheCallAndTheGuardWorksAgainAfterIt) {
    bool pastTheStub = false;
    auto stub = [&] { pastTheStub = CallStubThrough() > 0; };
    EXPECT_FALSE(CallUnlessWineStub(stub));
    EXPECT_FALSE(pastTheStub);

    int calls = 0;
    auto call = [&] { ++calls; };
    EXPECT_TRUE(CallUnlessWineStub(call));
    EXPECT_EQ(calls, 1);
}

} // namespace
