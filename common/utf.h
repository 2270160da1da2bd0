// Conversions between the program's UTF-16 text and UTF-8 (X11 properties,
// standard output, file names).
#pragma once

#include <string>
#include <string_view>

namespace kestrove {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

} // namespace kestrove
