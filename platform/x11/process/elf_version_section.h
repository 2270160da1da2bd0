// The version-information block stored in a section of an ELF executable,
// where Windows keeps it among the file's resources. Every offset and length
// read from the file is checked against the file before use.
#pragma once

#include <cstdint>

namespace kestrove::x11 {

// The name of the section the build puts the block into.
inline constexpr const char* kVersionSectionName = ".kestrove_version";

// The block's size in bytes; 0 when the file cannot be read, is not an ELF
// file, has no such section or the section cannot hold a block.
std::uint32_t ReadVersionSectionSize(const char16_t* path);

// Copies at most `size` bytes of the block into `block`; false when the
// section cannot be read (as for a size of 0). A block cut short by `size`
// has its root length cut to match, so lookups stay inside what was copied.
bool ReadVersionSection(const char16_t* path, std::uint32_t size, void* block);

} // namespace kestrove::x11
