// The recording fake's shell: the scripted executable path and version file, help, restart
// registration.
#pragma once

#include "platform/seam/shell.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingShell final : public Shell {
public:
    explicit RecordingShell(RecordingPlatform& fake) : m_fake(fake) {}

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
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
