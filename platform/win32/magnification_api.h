// The Magnification API, loaded at run time: Magnification.dll is missing on
// Wine and on some server editions, and Kestrove must still start there (with
// a blank mirror).
#pragma once

#include <windows.h>

namespace kestrove::win32 {

class MagnificationApi {
public:
    MagnificationApi() = default;
    ~MagnificationApi();
    MagnificationApi(const MagnificationApi&) = delete;
    MagnificationApi& operator=(const MagnificationApi&) = delete;

    // Loads the library (once) and calls MagInitialize; false when the
    // library or the call is missing, or the call fails.
    bool initialize();
    bool setWindowSource(HWND magnifier, RECT source) const;
    // `matrix` is a MAGTRANSFORM: 3 x 3 floats, row by row.
    bool setWindowTransform(HWND magnifier, const float (&matrix)[3][3]) const;

private:
    using InitializeFn = BOOL(WINAPI*)();
    using SetWindowSourceFn = BOOL(WINAPI*)(HWND, RECT);
    using SetWindowTransformFn = BOOL(WINAPI*)(HWND, void*);

    HMODULE m_hLibrary = nullptr;
    bool m_bLoadTried = false;
    InitializeFn m_pfnInitialize = nullptr;
    SetWindowSourceFn m_pfnSetWindowSource = nullptr;
    SetWindowTransformFn m_pfnSetWindowTransform = nullptr;
};

} // namespace kestrove::win32
