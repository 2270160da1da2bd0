// The Magnification API, loaded at run time from the system folder: it is
// missing on some server editions of Windows and on older Wine, and Wine 10
// has one whose functions are unimplemented stubs. Kestrove must still start
// in each case, with a blank mirror.
#pragma once

#include <windows.h>

namespace kestrove::win32 {

class MagnificationApi {
public:
    MagnificationApi() = default;
    // MagUninitialize when MagInitialize succeeded, then the library unloads.
    ~MagnificationApi();
    MagnificationApi(const MagnificationApi&) = delete;
    MagnificationApi& operator=(const MagnificationApi&) = delete;

    // Loads the library (once) and calls MagInitialize; false when the
    // library or the call is missing, is a stub, or the call fails.
    bool initialize();
    bool setWindowSource(HWND magnifier, RECT source);
    // `matrix` is a MAGTRANSFORM: 3 x 3 floats, row by row.
    bool setWindowTransform(HWND magnifier, const float (&matrix)[3][3]);

private:
    using InitializeFn = BOOL(WINAPI*)();
    using SetWindowSourceFn = BOOL(WINAPI*)(HWND, RECT);
    using SetWindowTransformFn = BOOL(WINAPI*)(HWND, void*);

    // Calls `function`; false when it is missing, fails or is a stub. After
    // a stub the library counts as unusable and is not called again.
    template <typename Function, typename... Arguments>
    bool call(Function function, Arguments... arguments);

    HMODULE m_hLibrary = nullptr;
    bool m_bLoadTried = false;
    bool m_bStubMet = false;
    int m_initialized = 0; // successful MagInitialize calls not yet undone
    InitializeFn m_pfnInitialize = nullptr;
    InitializeFn m_pfnUninitialize = nullptr; // the same signature
    SetWindowSourceFn m_pfnSetWindowSource = nullptr;
    SetWindowTransformFn m_pfnSetWindowTransform = nullptr;
};

} // namespace kestrove::win32
