#include "platform/x11/process/x11_process.h"

#include "common/utf.h"

#include <unistd.h>

#include <array>

namespace kestrove::x11 {

std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) {
    if (size == 0) {
        return 0;
    }
    std::array<char, 4096> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        buffer[0] = u'\0';
        return 0;
    }
    const std::u16string text = FromUtf8(std::string_view(path.data(), std::size_t(length)));
    if (text.size() >= size) {
        text.copy(buffer, size - 1);
        buffer[size - 1] = u'\0';
        return size;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = u'\0';
    return static_cast<std::uint32_t>(text.size());
}

} // namespace kestrove::x11
