#include "platform/win32/win32_shell.h"

#include "platform/win32/handles.h"
#include "platform/win32/restart_command_line.h"

#include <objbase.h>

namespace kestrove::win32 {

void Win32Shell::setRestartSupport(bool supported) {
    m_bRestartSupported = supported;
    if (supported) {
        registerForRestart();
    }
}

void Win32Shell::registerForRestart() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) {
        return;
    }
    // Looked up by name: the call exists from Windows Vista on only.
    using RegisterFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    const auto registerRestart = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterApplicationRestart")));
    if (registerRestart == nullptr) {
        return;
    }
    const std::u16string commandLine =
        BuildRestartCommandLine(m_commandLineArguments, FormatRestartIdentifier(guid));
    registerRestart(WideString(commandLine).c_str(), 0);
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
