// VERSION.dll, loaded from the system folder when first needed: it is not
// one of Windows' KnownDLLs, so a static import would be looked for beside
// the executable first. Where it cannot be loaded, every call fails, as for
// a file without version information.
#pragma once

#include <windows.h>

#include <winver.h>

namespace kestrove::win32 {

class VersionApi {
public:
    VersionApi() = default;
    ~VersionApi();
    VersionApi(const VersionApi&) = delete;
    VersionApi& operator=(const VersionApi&) = delete;

    DWORD getFileVersionInfoSize(const wchar_t* path, DWORD* handle);
    bool getFileVersionInfo(const wchar_t* path, DWORD size, void* block);
    bool verQueryValue(const void* block, const wchar_t* subBlock, void** value, UINT* length);

private:
    // False when the library or one of its calls is missing.
    bool load();

    HMODULE m_hLibrary = nullptr;
    bool m_bLoadTried = false;
    decltype(&GetFileVersionInfoSizeW) m_pfnGetFileVersionInfoSize = nullptr;
    decltype(&GetFileVersionInfoW) m_pfnGetFileVersionInfo = nullptr;
    decltype(&VerQueryValueW) m_pfnVerQueryValue = nullptr;
};

} // namespace kestrove::win32
