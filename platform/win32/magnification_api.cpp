#include "platform/win32/magnification_api.h"

#include <string_view>

namespace kestrove::win32 {

namespace {

template <typename Function> Function Lookup(HMODULE library, const char* name) {
    // GetProcAddress returns a generic function pointer; the casts through
    // void* name the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// From the system folder only: a DLL of that name beside the executable or
// in the working folder must not be loaded in its place. The full path works
// everywhere; LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8, or Windows 7 with
// KB2533623. LOAD_WITH_ALTERED_SEARCH_PATH resolves the library's own imports
// from its folder too.
HMODULE LoadFromSystemFolder() {
    constexpr std::wstring_view kFileName = L"\\Magnification.dll";
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + kFileName.size() >= MAX_PATH) {
        return nullptr;
    }
    kFileName.copy(path + length, kFileName.size());
    path[length + kFileName.size()] = L'\0';
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
        m_hLibrary = LoadFromSystemFolder();
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
