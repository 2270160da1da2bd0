// The process and the shell around it: the executable's path and version
// information, help, restart support.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrove {

class Shell {
public:
    // GetModuleFileNameW(NULL, buffer, size): terminated, cut to fit.
    virtual std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) = 0;
    virtual bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                         std::uintptr_t data) = 0;
    // Whether the application supports being restarted (the restart-support
    // flag). Where the system restarts applications, a supporting process is
    // registered for restart and the system's request to close it for a
    // restart is answered with this; elsewhere nothing happens.
    virtual void setRestartSupport(bool supported) = 0;

    virtual std::uint32_t getFileVersionInfoSize(const char16_t* path) = 0;
    virtual bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) = 0;
    virtual bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                               std::uint32_t* length) = 0;

protected:
    ~Shell() = default;
};

} // namespace kestrove
