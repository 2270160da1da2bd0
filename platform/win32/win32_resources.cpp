#include "platform/win32/win32_resources.h"

#include "platform/win32/handles.h"

namespace kestrove::win32 {

std::u16string Win32Resources::loadString(int id) {
    // With a zero buffer size LoadStringW hands out the resource's own text,
    // so strings of any length load whole.
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(m_hInstance, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return {text, text + length};
}

} // namespace kestrove::win32
