// What the process knows about itself on Linux: its executable's path, its
// arguments, and random identifiers.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrove::x11 {

// GetModuleFileNameW(NULL, ...): /proc/self/exe, terminated and cut to fit;
// returns the number of characters written, `size` when cut, 0 on failure.
std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size);

// The arguments after the program name, joined with blanks.
std::u16string JoinArguments(const std::vector<std::string>& arguments);

// 16 random bytes from /dev/urandom; false when they cannot be read.
bool RandomGuid(Guid& guid);

} // namespace kestrove::x11
