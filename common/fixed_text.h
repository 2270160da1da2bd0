// Text held in a fixed-size character array: read up to its terminator and
// never past the array, even when the terminator is missing; stored cut to
// fit, terminated, with zeros after it.
#pragma once

#include <algorithm>
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

// A cut never keeps half of a surrogate pair.
template <std::size_t N> void StoreFixedText(char16_t (&field)[N], std::u16string_view text) {
    std::size_t length = std::min(text.size(), N - 1);
    if (length > 0 && length < text.size() && text[length - 1] >= 0xD800 &&
        text[length - 1] <= 0xDBFF) {
        --length;
    }
    for (std::size_t i = 0; i < N; ++i) {
        field[i] = i < length ? text[i] : u'\0';
    }
}

} // namespace kestrove
