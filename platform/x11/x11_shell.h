// The process and its shell on Linux: the executable's path, arguments and
// version section, random identifiers.
#pragma once

#include "platform/seam/shell.h"

#include <string>
#include <vector>

namespace kestrove::x11 {

class X11Shell final : public Shell {
public:
    // `arguments`: the command line after the program name.
    explicit X11Shell(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

    std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) override;
    std::u16string commandLineArguments() override;
    bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                 std::uintptr_t data) override;
    void initCommonControls(std::uint32_t classes) override;
    bool registerApplicationRestart(std::u16string_view commandLine, std::uint32_t flags) override;
    void setRestartSupported(bool supported) override;
    bool createGuid(Guid& guid) override;
    std::uint32_t getFileVersionInfoSize(const char16_t* path) override;
    bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override;
    bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) override;

private:
    std::vector<std::string> m_arguments;
};

} // namespace kestrove::x11
