// Calls into a DLL that may be one of Wine's placeholders: Wine ships some
// system DLLs (Wine 10's Magnification.dll) whose functions are unimplemented
// stubs. Calling one raises Wine's stub exception, which, unhandled, starts
// Wine's debugger and ends the process. The guard catches that exception
// alone; every other exception goes on as if there were no guard. Windows
// never raises it, so there the guard changes nothing.
#pragma once

namespace kestrove::win32 {

// Calls `call(data)`. False when the call ran into a Wine stub: the call is
// abandoned there and this returns, with the frames between left as they
// were, not unwound (Wine's stubs carry no unwind information, so nothing
// can unwind them): `call` must hold nothing that needs releasing.
bool CallUnlessWineStub(void (*call)(void*), void* data);

template <typename Callable> bool CallUnlessWineStub(Callable& callable) {
    return CallUnlessWineStub([](void* data) { (*static_cast<Callable*>(data))(); }, &callable);
}

} // namespace kestrove::win32
