#include "platform/win32/system_library.h"

namespace kestrove::win32 {

HMODULE LoadSystemLibrary(std::wstring_view fileName) {
    // The full path works everywhere; LOAD_LIBRARY_SEARCH_SYSTEM32 needs
    // Windows 8, or Windows 7 with KB2533623. LOAD_WITH_ALTERED_SEARCH_PATH
    // resolves the library's own imports from its folder too.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + fileName.size() >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    fileName.copy(path + length + 1, fileName.size());
    path[length + 1 + fileName.size()] = L'\0';
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace kestrove::win32
