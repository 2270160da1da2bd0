#include "platform/win32/version_api.h"

#include "platform/win32/system_library.h"

namespace kestrove::win32 {

VersionApi::~VersionApi() {
    if (m_hLibrary != nullptr) {
        FreeLibrary(m_hLibrary);
    }
}

bool VersionApi::load() {
    if (!m_bLoadTried) {
        m_bLoadTried = true;
        m_hLibrary = LoadSystemLibrary(L"VERSION.dll");
        if (m_hLibrary != nullptr) {
            m_pfnGetFileVersionInfoSize = LookUp<decltype(m_pfnGetFileVersionInfoSize)>(
                m_hLibrary, "GetFileVersionInfoSizeW");
            m_pfnGetFileVersionInfo =
                LookUp<decltype(m_pfnGetFileVersionInfo)>(m_hLibrary, "GetFileVersionInfoW");
            m_pfnVerQueryValue = LookUp<decltype(m_pfnVerQueryValue)>(m_hLibrary, "VerQueryValueW");
        }
    }
    return m_pfnGetFileVersionInfoSize != nullptr && m_pfnGetFileVersionInfo != nullptr &&
           m_pfnVerQueryValue != nullptr;
}

DWORD VersionApi::getFileVersionInfoSize(const wchar_t* path, DWORD* handle) {
    if (!load()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return m_pfnGetFileVersionInfoSize(path, handle);
}

bool VersionApi::getFileVersionInfo(const wchar_t* path, DWORD size, void* block) {
    return load() && m_pfnGetFileVersionInfo(path, 0, size, block) != FALSE;
}

bool VersionApi::verQueryValue(const void* block, const wchar_t* subBlock, void** value,
                               UINT* length) {
    return load() && m_pfnVerQueryValue(block, subBlock, value, length) != FALSE;
}

} // namespace kestrove::win32
