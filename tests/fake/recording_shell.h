// The recording fake's shell: the scripted executable path and version file, help, restart
// support.
#pragma once

#include "platform/seam/shell.h"
#include "tests/fake/recording_state.h"

#include "common/utf.h"
#include "common/version_block.h"
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

namespace kestrove::testing {

class RecordingShell final : public Shell {
public:
    explicit RecordingShell(RecordingState& fake) : m_fake(fake) {}

    std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) override {
        if (size == 0) {
            return 0;
        }
        const std::size_t length = std::min<std::size_t>(m_fake.modulePath.size(), size - 1);
        std::copy_n(m_fake.modulePath.begin(), length, buffer);
        buffer[length] = u'\0';
        return static_cast<std::uint32_t>(length);
    }

    bool winHelp(WindowHandle, std::u16string_view helpFile, std::uint32_t command,
                 std::uintptr_t data) override {
        std::ostringstream text;
        text << "winHelp(" << ToUtf8(helpFile) << "," << command << ",0x" << std::hex << data
             << ")";
        m_fake.record(text.str());
        return m_fake.helpStarts;
    }

    void setRestartSupport(bool supported) override { m_fake.restartSupported = supported; }

    std::uint32_t getFileVersionInfoSize(const char16_t* path) override {
        m_fake.record("getFileVersionInfoSize(" + ToUtf8(path) + ")");
        return static_cast<std::uint32_t>(m_fake.versionFile.size());
    }

    bool getFileVersionInfo(const char16_t*, std::uint32_t size, void* block) override {
        m_fake.record("getFileVersionInfo");
        if (m_fake.versionFile.empty() || m_fake.versionReadFails) {
            return false;
        }
        std::memcpy(block, m_fake.versionFile.data(),
                    std::min<std::size_t>(size, m_fake.versionFile.size()));
        return true;
    }

    bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) override {
        m_fake.record("verQueryValue(" + ToUtf8(subBlock) + ")");
        return QueryVersionValue(block, subBlock, value, length);
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
