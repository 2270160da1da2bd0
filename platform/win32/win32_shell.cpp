#include "platform/win32/win32_shell.h"

#include "platform/win32/handles.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstring>

namespace kestrove::win32 {

void Win32Shell::initCommonControls(std::uint32_t classes) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), classes};
    InitCommonControlsEx(&controls);
}

bool Win32Shell::registerApplicationRestart(std::u16string_view commandLine, std::uint32_t flags) {
    // Looked up by name: the call exists from Windows Vista on only.
    using RegisterFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return false;
    }
    const auto registerRestart = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterApplicationRestart")));
    if (registerRestart == nullptr) {
        return false;
    }
    return SUCCEEDED(registerRestart(WideString(commandLine).c_str(), flags));
}

bool Win32Shell::createGuid(Guid& guid) {
    GUID native{};
    if (FAILED(CoCreateGuid(&native))) {
        return false;
    }
    guid.data1 = native.Data1;
    guid.data2 = native.Data2;
    guid.data3 = native.Data3;
    std::memcpy(guid.data4, native.Data4, sizeof guid.data4);
    return true;
}

std::uint32_t Win32Shell::getFileVersionInfoSize(const char16_t* path) {
    DWORD ignored = 0;
    return m_version.getFileVersionInfoSize(Wide(path), &ignored);
}

bool Win32Shell::verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                               std::uint32_t* length) {
    void* found = nullptr;
    UINT foundLength = 0;
    if (!m_version.verQueryValue(block, Wide(subBlock), &found, &foundLength)) {
        return false;
    }
    *value = found;
    *length = foundLength;
    return true;
}

} // namespace kestrove::win32
