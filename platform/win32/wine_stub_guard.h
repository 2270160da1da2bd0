// Calls into a DLL that may be one of Wine's placeholders: Wine ships some
// system DLLs (Wine 10's Magnification.dll) whose functions are unimplemented
// stubs. Calling one raises Wine's stub exception, which, unhandled, starts
// Wine's debugger and ends the process. The guard catches that exception
// alone, as a __try/__except around the call would; every other exception
// goes on as if there were no guard. Windows never raises it, so there the
// guard changes nothing.
#pragma once

namespace kestrove::win32 {

// Calls `call(data)`. False when the call ran into a Wine stub: the frames
// between were unwound and the call did not finish.
bool CallUnlessWineStub(void (*call)(void*), void* data);

template <typename Callable> bool CallUnlessWineStub(Callable& callable) {
    return CallUnlessWineStub([](void* data) { (*static_cast<Callable*>(data))(); }, &callable);
}

} // namespace kestrove::win32
