// printf-style formatting of UTF-16 text, the subset the program's formats
// use: %d (signed decimal), %x / %04x (lowercase hex, optional zero padding
// width), %X / %08lX style (uppercase hex), %s (UTF-16 string) and %%.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace kestrove {

using FormatArg = std::variant<std::int64_t, std::u16string_view>;

std::u16string WideFormat(std::u16string_view format, std::initializer_list<FormatArg> args);

} // namespace kestrove
