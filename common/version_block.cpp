#include "common/version_block.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string_view>

namespace kestrove {

namespace {

// wLength, wValueLength and wType open every node.
constexpr std::size_t kHeaderBytes = 6;
constexpr std::uint16_t kTypeText = 1;

constexpr std::size_t AlignUp(std::size_t offset) {
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

std::uint16_t ReadWord(const unsigned char* bytes, std::size_t offset) {
    std::uint16_t word;
    std::memcpy(&word, bytes + offset, sizeof word);
    return word;
}

struct Node {
    std::size_t end = 0; // one past the node's last byte
    std::size_t keyOffset = 0;
    std::size_t keyLength = 0; // characters, without the terminator
    std::size_t valueOffset = 0;
    std::uint32_t valueLength = 0; // as recorded, cut to the node
    std::size_t childrenOffset = 0;
};

// The node at `offset`, which must lie within [offset, limit); nothing when
// its header, key or length do not fit.
std::optional<Node> ReadNode(const unsigned char* bytes, std::size_t offset, std::size_t limit) {
    if (offset > limit || limit - offset < kHeaderBytes) {
        return std::nullopt;
    }
    const std::size_t length = ReadWord(bytes, offset);
    if (length < kHeaderBytes || length > limit - offset) {
        return std::nullopt;
    }
    Node node;
    node.end = offset + length;
    const std::uint16_t declaredValue = ReadWord(bytes, offset + 2);
    const bool text = ReadWord(bytes, offset + 4) == kTypeText;

    node.keyOffset = offset + kHeaderBytes;
    std::size_t at = node.keyOffset;
    while (at + 2 <= node.end && ReadWord(bytes, at) != 0) {
        at += 2;
    }
    if (at + 2 > node.end) {
        return std::nullopt; // the key has no terminator inside the node
    }
    node.keyLength = (at - node.keyOffset) / 2;

    node.valueOffset = AlignUp(at + 2);
    const std::size_t unit = text ? 2 : 1;
    const std::size_t valueBytes = std::size_t{declaredValue} * unit;
    const std::size_t room = node.valueOffset < node.end ? node.end - node.valueOffset : 0;
    node.valueLength = static_cast<std::uint32_t>(std::min(valueBytes, room) / unit);
    node.childrenOffset = AlignUp(node.valueOffset + valueBytes);
    return node;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool KeyEquals(const unsigned char* bytes, const Node& node, std::u16string_view name) {
    if (node.keyLength != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = ReadWord(bytes, node.keyOffset + 2 * i);
        if (FoldAscii(c) != FoldAscii(name[i])) {
            return false;
        }
    }
    return true;
}

std::optional<Node> FindChild(const unsigned char* bytes, const Node& parent,
                              std::u16string_view name) {
    std::size_t offset = parent.childrenOffset;
    while (offset < parent.end) {
        const std::optional<Node> child = ReadNode(bytes, offset, parent.end);
        if (!child) {
            return std::nullopt;
        }
        if (KeyEquals(bytes, *child, name)) {
            return child;
        }
        offset = AlignUp(child->end);
    }
    return std::nullopt;
}

} // namespace

bool QueryVersionValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) {
    if (block == nullptr || subBlock == nullptr || value == nullptr || length == nullptr) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(block);
    // The root bounds itself: its own length is the only size there is.
    std::optional<Node> node = ReadNode(bytes, 0, ReadWord(bytes, 0));
    if (!node) {
        return false;
    }
    std::u16string_view path(subBlock);
    bool root = true;
    while (!path.empty()) {
        const std::size_t separator = path.find(u'\\');
        const std::u16string_view name = path.substr(0, separator);
        path = separator == std::u16string_view::npos ? std::u16string_view()
                                                      : path.substr(separator + 1);
        if (name.empty()) {
            continue;
        }
        node = FindChild(bytes, *node, name);
        if (!node) {
            return false;
        }
        root = false;
    }
    // The fixed part is only there when the root carries a value.
    if (root && node->valueLength == 0) {
        return false;
    }
    *value = bytes + node->valueOffset;
    *length = node->valueLength;
    return true;
}

} // namespace kestrove
