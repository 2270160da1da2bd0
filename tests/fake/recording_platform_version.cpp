// The fake's version file: the bytes in `versionFile` stand for the
// executable's version information.
#include "common/utf.h"
#include "common/version_block.h"
#include "tests/fake/recording_platform.h"

#include <algorithm>
#include <cstring>

namespace kestrove::testing {

std::uint32_t RecordingPlatform::getFileVersionInfoSize(const char16_t* path) {
    record("getFileVersionInfoSize(" + ToUtf8(path) + ")");
    return static_cast<std::uint32_t>(versionFile.size());
}

bool RecordingPlatform::getFileVersionInfo(const char16_t*, std::uint32_t size, void* block) {
    record("getFileVersionInfo");
    if (versionFile.empty()) {
        return false;
    }
    std::memcpy(block, versionFile.data(), std::min<std::size_t>(size, versionFile.size()));
    return true;
}

bool RecordingPlatform::verQueryValue(const void* block, const char16_t* subBlock,
                                      const void** value, std::uint32_t* length) {
    record("verQueryValue(" + ToUtf8(subBlock) + ")");
    return QueryVersionValue(block, subBlock, value, length);
}

} // namespace kestrove::testing
