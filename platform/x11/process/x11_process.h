// What the process knows about itself on Linux: its executable's path.
#pragma once

#include <cstdint>

namespace kestrove::x11 {

// GetModuleFileNameW(NULL, ...): /proc/self/exe, terminated and cut to fit;
// returns the number of characters written, `size` when cut, 0 on failure.
std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size);

} // namespace kestrove::x11
