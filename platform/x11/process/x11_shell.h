// The process and its shell on Linux: the executable's path and version
// section.
#pragma once

#include "platform/seam/shell.h"

namespace kestrove::x11 {

class X11Shell final : public Shell {
public:
    std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) override;
    bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                 std::uintptr_t data) override;
    // Nothing on X11 restarts applications.
    void setRestartSupport(bool) override {}
    std::uint32_t getFileVersionInfoSize(const char16_t* path) override;
    bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override;
    bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) override;
};

} // namespace kestrove::x11
