// The product version read from the executable's own version resource,
// cached for the life of the process once a read got through.
#pragma once

#include <cstdint>
#include <string>

namespace kestrove {

constexpr std::size_t kVersionCacheLength = 256; // characters, terminator included
constexpr std::size_t kModulePathLength = 260;

extern std::int32_t s_bVersionRead;               // 1 once the cache is built; never reset
extern char16_t s_szVersion[kVersionCacheLength]; // "Ver.:" and the ProductVersion value
extern char16_t s_szModulePath[kModulePathLength];

// One read attempt. An attempt that ends early leaves the cache empty and
// not built, so the next opening of the About box tries again.
void FillVersionCache();

// The label of the About box; reads the file only while the cache is not built.
std::u16string BuildVersionLabel();

} // namespace kestrove
