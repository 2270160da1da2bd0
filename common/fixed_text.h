// Text held in a fixed-size character array, read up to its terminator and
// never past the array, even when the terminator is missing.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrove {

template <std::size_t N> std::u16string_view FixedText(const char16_t (&text)[N]) {
    std::size_t length = 0;
    while (length < N && text[length] != u'\0') {
        ++length;
    }
    return {text, length};
}

} // namespace kestrove
