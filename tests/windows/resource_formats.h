// Decoders for the resource formats the test compares with res/resources.h:
// extended dialog templates, string-table blocks, icon groups and .ico files.
// They throw std::runtime_error on data that is cut short.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kestrove::pe {

// A name-or-ordinal field of a dialog template: none, an ordinal, or text.
using NameOrOrdinal = std::variant<std::monostate, std::uint16_t, std::u16string>;

struct DialogItem {
    std::uint32_t helpId, exStyle, style;
    std::int16_t x, y, cx, cy;
    std::int32_t id;
    NameOrOrdinal windowClass, text;
    std::uint16_t extraBytes;
};

struct Dialog {
    std::uint16_t version, signature;
    std::uint32_t helpId, exStyle, style;
    std::int16_t x, y, cx, cy;
    NameOrOrdinal menu, windowClass;
    std::u16string caption;
    std::uint16_t pointSize, weight;
    std::uint8_t italic, charset;
    std::u16string typeface;
    std::vector<DialogItem> items;
};

Dialog DecodeDialogEx(const std::vector<std::uint8_t>& data);

// The 16 strings of string-table block `data` (empty where none is defined).
std::vector<std::u16string> DecodeStringBlock(const std::vector<std::uint8_t>& data);

struct IconGroupEntry {
    int width, height; // 256 for a stored 0
    std::uint16_t planes, bitCount;
    std::uint32_t bytes;
    std::uint16_t id; // RT_ICON resource (in a group) or image index (in a file)
};

std::vector<IconGroupEntry> DecodeIconGroup(const std::vector<std::uint8_t>& data);

// The images of an .ico file, in its order.
std::vector<std::vector<std::uint8_t>> IcoImages(const std::vector<std::uint8_t>& file);

} // namespace kestrove::pe
