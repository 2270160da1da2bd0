// The process and the shell: the module's path and version resource, help,
// restart registration.
#pragma once

#include "platform/seam/shell.h"
#include "platform/win32/handles.h"
#include "platform/win32/version_api.h"

namespace kestrove::win32 {

class Win32Shell final : public Shell {
public:
    explicit Win32Shell(std::u16string commandLineArguments)
        : m_commandLineArguments(std::move(commandLineArguments)) {}

    std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) override {
        return GetModuleFileNameW(nullptr, Wide(buffer), size);
    }
    bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                 std::uintptr_t data) override {
        return WinHelpW(Hwnd(hwnd), WideString(helpFile).c_str(), command, data) != FALSE;
    }
    // Keeps the answer to WM_QUERYENDSESSION and, when supported, registers
    // the process for restart.
    void setRestartSupport(bool supported) override;
    std::uint32_t getFileVersionInfoSize(const char16_t* path) override;
    bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override {
        return m_version.getFileVersionInfo(Wide(path), size, block);
    }
    bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) override;

    // What the dialogs answer to a request to close for a restart.
    bool restartSupported() const { return m_bRestartSupported; }

private:
    // RegisterApplicationRestart with a command line naming this run; nothing
    // when no GUID can be made or the call is missing.
    void registerForRestart();

    std::u16string m_commandLineArguments;
    bool m_bRestartSupported = false;
    VersionApi m_version;
};

} // namespace kestrove::win32
