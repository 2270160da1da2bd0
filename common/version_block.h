// Lookups in a version-information block (VS_VERSIONINFO), as VerQueryValueW
// does them. The block is bounded by its root's length; every length and
// offset inside is checked against it, so any bytes are safe to query.
#pragma once

#include <cstdint>

namespace kestrove {

// `subBlock` is a backslash-separated path: "\" gives the fixed part,
// "\VarFileInfo\Translation" the translation array, and
// "\StringFileInfo\<lang><cp>\<key>" a string (names compared without regard
// to ASCII case). On success `value` points into the block and `length` is the
// value's length as recorded: characters for text values, bytes otherwise,
// never reaching past the node that holds it.
bool QueryVersionValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length);

} // namespace kestrove
