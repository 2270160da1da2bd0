// DLLs that are not among Windows' KnownDLLs, loaded by the full path of the
// system folder: a DLL of the same name beside the executable or in the
// working folder is never taken in its place.
#pragma once

#include <windows.h>

#include <string_view>

namespace kestrove::win32 {

// `fileName` from GetSystemDirectoryW's folder; null when it is missing.
HMODULE LoadSystemLibrary(std::wstring_view fileName);

// The export `name` of `library` as a `Function`; null when it has none.
template <typename Function> Function LookUp(HMODULE library, const char* name) {
    // GetProcAddress returns a generic function pointer; the casts through
    // void* name the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace kestrove::win32
