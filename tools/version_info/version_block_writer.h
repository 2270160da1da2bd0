// Lays out version-information blocks (VS_VERSIONINFO) byte for byte as the
// Windows resource compiler writes them: each node is wLength, wValueLength,
// wType, its key with terminator, padding to 32 bits, its value, padding, then
// its children, each starting on a 32-bit boundary. A node's length runs to
// the end of its last child, without padding after it. Header-only so that the
// build-time generator and the tests share one definition.
#pragma once

#include "res/resources.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrove::versioninfo {

struct Node {
    std::u16string key;
    bool text = false; // wType 1: the value counts in characters
    std::vector<std::uint8_t> value;
    std::uint16_t valueLength = 0; // characters (text) or bytes (binary)
    std::vector<Node> children;
};

inline Node TextNode(std::u16string_view key, std::u16string_view text) {
    Node node{std::u16string(key), true, {}, 0, {}};
    for (const char16_t c : text) {
        node.value.push_back(static_cast<std::uint8_t>(c & 0xFF));
        node.value.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    node.value.push_back(0);
    node.value.push_back(0);
    node.valueLength = static_cast<std::uint16_t>(text.size() + 1);
    return node;
}

inline Node Group(std::u16string_view key, std::vector<Node> children) {
    return Node{std::u16string(key), true, {}, 0, std::move(children)};
}

inline void AppendDword(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// "Translation": one 32-bit entry per pair, language in the low half.
inline Node TranslationNode(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs) {
    Node node{u"Translation", false, {}, 0, {}};
    for (const auto& [language, codePage] : pairs) {
        AppendDword(node.value, std::uint32_t{language} | std::uint32_t{codePage} << 16);
    }
    node.valueLength = static_cast<std::uint16_t>(node.value.size());
    return node;
}

inline void PutWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t word) {
    out[at] = static_cast<std::uint8_t>(word & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(word >> 8);
}

inline void PadTo32Bits(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) {
        out.push_back(0);
    }
}

inline void AppendNode(std::vector<std::uint8_t>& out, const Node& node) {
    PadTo32Bits(out);
    const std::size_t start = out.size();
    out.resize(start + 6);
    for (const char16_t c : node.key) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    if (!node.value.empty()) {
        PadTo32Bits(out);
        out.insert(out.end(), node.value.begin(), node.value.end());
    }
    for (const Node& child : node.children) {
        AppendNode(out, child);
    }
    const std::size_t length = out.size() - start;
    if (length > 0xFFFF) {
        throw std::length_error("version node longer than 65535 bytes");
    }
    PutWord(out, start, static_cast<std::uint16_t>(length));
    PutWord(out, start + 2, node.valueLength);
    PutWord(out, start + 4, node.text ? 1 : 0);
}

inline std::vector<std::uint8_t> LayOut(const Node& root) {
    std::vector<std::uint8_t> out;
    AppendNode(out, root);
    return out;
}

// VS_FIXEDFILEINFO: 13 DWORDs, signature first.
inline std::vector<std::uint8_t> FixedFileInfo(const res::VersionDefinition& version) {
    const auto high = [](const std::array<std::uint16_t, 4>& v) {
        return std::uint32_t{v[0]} << 16 | v[1];
    };
    const auto low = [](const std::array<std::uint16_t, 4>& v) {
        return std::uint32_t{v[2]} << 16 | v[3];
    };
    std::vector<std::uint8_t> out;
    AppendDword(out, 0xFEEF04BD); // dwSignature
    AppendDword(out, 0x00010000); // dwStrucVersion
    AppendDword(out, high(version.fileVersion));
    AppendDword(out, low(version.fileVersion));
    AppendDword(out, high(version.productVersion));
    AppendDword(out, low(version.productVersion));
    AppendDword(out, version.fileFlagsMask);
    AppendDword(out, version.fileFlags);
    AppendDword(out, version.fileOs);
    AppendDword(out, version.fileType);
    AppendDword(out, version.fileSubtype);
    AppendDword(out, 0); // dwFileDateMS
    AppendDword(out, 0); // dwFileDateLS
    return out;
}

// "041104b0": language then code page, lowercase hexadecimal.
inline std::u16string StringTableName(std::uint16_t language, std::uint16_t codePage) {
    const char* digits = "0123456789abcdef";
    const std::uint32_t both = std::uint32_t{language} << 16 | codePage;
    std::u16string name;
    for (int shift = 28; shift >= 0; shift -= 4) {
        name.push_back(static_cast<char16_t>(digits[(both >> shift) & 0xF]));
    }
    return name;
}

inline Node VersionInfoRoot(std::vector<std::uint8_t> fixed, std::vector<Node> children) {
    Node root{u"VS_VERSION_INFO", false, std::move(fixed), 0, std::move(children)};
    root.valueLength = static_cast<std::uint16_t>(root.value.size());
    return root;
}

inline Node VersionInfoTree(const res::VersionDefinition& version) {
    std::vector<Node> strings;
    for (const res::VersionString& entry : version.strings) {
        strings.push_back(TextNode(entry.key, entry.value));
    }
    return VersionInfoRoot(
        FixedFileInfo(version),
        {Group(u"StringFileInfo",
               {Group(StringTableName(version.language, version.codePage), std::move(strings))}),
         Group(u"VarFileInfo", {TranslationNode({{version.language, version.codePage}})})});
}

} // namespace kestrove::versioninfo
