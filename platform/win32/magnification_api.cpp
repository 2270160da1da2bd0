#include "platform/win32/magnification_api.h"

namespace kestrove::win32 {

namespace {

template <typename Function> Function Lookup(HMODULE library, const char* name) {
    // GetProcAddress returns a generic function pointer; the casts through
    // void* name the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

MagnificationApi::~MagnificationApi() {
    // The platform that owns this outlives every window of the process.
    if (m_hLibrary != nullptr) {
        FreeLibrary(m_hLibrary);
    }
}

bool MagnificationApi::initialize() {
    if (!m_bLoadTried) {
        m_bLoadTried = true;
        // From the system folder only: a DLL of that name beside the
        // executable must not be loaded in its place.
        m_hLibrary = LoadLibraryExW(L"Magnification.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (m_hLibrary != nullptr) {
            m_pfnInitialize = Lookup<InitializeFn>(m_hLibrary, "MagInitialize");
            m_pfnSetWindowSource = Lookup<SetWindowSourceFn>(m_hLibrary, "MagSetWindowSource");
            m_pfnSetWindowTransform =
                Lookup<SetWindowTransformFn>(m_hLibrary, "MagSetWindowTransform");
        }
    }
    return m_pfnInitialize != nullptr && m_pfnInitialize() != FALSE;
}

bool MagnificationApi::setWindowSource(HWND magnifier, RECT source) const {
    return m_pfnSetWindowSource != nullptr && m_pfnSetWindowSource(magnifier, source) != FALSE;
}

bool MagnificationApi::setWindowTransform(HWND magnifier, const float (&matrix)[3][3]) const {
    if (m_pfnSetWindowTransform == nullptr) {
        return false;
    }
    float copy[3][3];
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            copy[row][column] = matrix[row][column];
        }
    }
    return m_pfnSetWindowTransform(magnifier, copy) != FALSE;
}

} // namespace kestrove::win32
