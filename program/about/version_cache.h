// The product version read from the executable's own version resource,
// cached once a read got through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrove {

constexpr std::size_t kVersionCacheLength = 256; // characters, terminator included
constexpr std::size_t kModulePathLength = 260;

class VersionCache {
public:
    // One read attempt. An attempt that ends early leaves the cache empty and
    // not built, so the next opening of the About box tries again.
    void fill();

    // The label of the About box; reads the file only while the cache is not built.
    std::u16string label();

    bool built() const { return m_bVersionRead == 1; }
    // "Ver.:" and the ProductVersion value; empty while not built.
    std::u16string_view version() const;

private:
    std::int32_t m_bVersionRead = 0; // 1 once built; never reset
    char16_t m_szVersion[kVersionCacheLength] = {};
    char16_t m_szModulePath[kModulePathLength] = {};
};

// The label from the process's one cache, which lives as long as the process.
std::u16string BuildVersionLabel();

} // namespace kestrove
