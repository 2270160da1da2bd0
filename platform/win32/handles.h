// Conversions between the seam's platform-neutral handles, rectangles and
// text and their Win32 types.
#pragma once

#include "platform/types.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace kestrove::win32 {

template <typename Handle> Handle FromSeam(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

template <typename Handle> std::uintptr_t ToSeam(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

inline HWND Hwnd(WindowHandle value) {
    return FromSeam<HWND>(value);
}

// char16_t and wchar_t are both UTF-16 code units on Windows.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* Wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}

static_assert(sizeof(RECT) == sizeof(Rect));

inline Rect ToRect(const RECT& rc) {
    return {static_cast<std::int32_t>(rc.left), static_cast<std::int32_t>(rc.top),
            static_cast<std::int32_t>(rc.right), static_cast<std::int32_t>(rc.bottom)};
}

inline RECT ToRECT(const Rect& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// A terminated copy for the calls that take a C string.
inline std::wstring WideString(std::u16string_view text) {
    return {text.begin(), text.end()};
}

} // namespace kestrove::win32
