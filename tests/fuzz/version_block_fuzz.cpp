// Any bytes as a version-information block: the lookups the program makes
// stay inside the block and its values inside their nodes.
#include "common/version_block.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Touches every byte of a value, so a value reaching past the block is seen.
unsigned Sum(const void* value, std::size_t bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        sum += static_cast<const unsigned char*>(value)[i];
    }
    return sum;
}

// Touches the `length` bytes of the value the lookup gives. Text lengths
// count characters, but whether a node holds text is the block's say: a
// reader of characters pads its copy of the block for that.
unsigned Query(const unsigned char* block, const std::u16string& path) {
    const void* value = nullptr;
    std::uint32_t length = 0;
    if (!kestrove::QueryVersionValue(block, path.c_str(), &value, &length)) {
        return 0;
    }
    return Sum(value, length);
}

std::u16string Hex(std::uint16_t word) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string text;
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += digits[(word >> shift) & 0xF];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The block bounds itself by its root length, as a block read from a file
    // does once cut to what was read (the length word must be there).
    if (size < 2 || size > 0xFFFF) {
        return 0;
    }
    std::vector<unsigned char> block(data, data + size);
    if (block[0] + (block[1] << 8) > static_cast<int>(size)) {
        block[0] = static_cast<unsigned char>(size & 0xFF);
        block[1] = static_cast<unsigned char>(size >> 8);
    }
    volatile unsigned sink = Query(block.data(), u"\\");
    sink = sink + Query(block.data(), u"\\VarFileInfo\\Translation");

    // The string table named by the block's own first translation, as the
    // version label looks it up.
    const void* value = nullptr;
    std::uint32_t length = 0;
    std::u16string table = u"\\StringFileInfo\\040904b0";
    if (kestrove::QueryVersionValue(block.data(), u"\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
        std::uint16_t words[2];
        std::memcpy(words, value, sizeof words);
        table = u"\\StringFileInfo\\" + Hex(words[0]) + Hex(words[1]);
    }
    sink = sink + Query(block.data(), table + u"\\ProductVersion");
    sink = sink + Query(block.data(), table + u"\\\\FileDescription\\");
    (void)sink;
    return 0;
}
