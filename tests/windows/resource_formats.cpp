#include "resource_formats.h"

#include <cstring>
#include <stdexcept>

namespace kestrove::pe {

namespace {

class Cursor {
public:
    Cursor(const std::vector<std::uint8_t>& data, std::size_t at = 0) : m_data(data), m_at(at) {}

    template <typename T> T take() {
        if (m_at > m_data.size() || sizeof(T) > m_data.size() - m_at) {
            throw std::runtime_error("resource data cut short");
        }
        T value;
        std::memcpy(&value, m_data.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return value;
    }
    std::u16string text() {
        std::u16string value;
        for (char16_t c; (c = take<char16_t>()) != u'\0';) {
            value += c;
        }
        return value;
    }
    NameOrOrdinal nameOrOrdinal() {
        const auto first = take<std::uint16_t>();
        if (first == 0) {
            return std::monostate{};
        }
        if (first == 0xFFFF) {
            return take<std::uint16_t>();
        }
        m_at -= 2;
        return text();
    }
    void alignTo(std::size_t bytes) { m_at = (m_at + bytes - 1) / bytes * bytes; }
    void skip(std::size_t bytes) { m_at += bytes; }

private:
    const std::vector<std::uint8_t>& m_data;
    std::size_t m_at;
};

constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint32_t kDsShellFont = 0x48;

} // namespace

Dialog DecodeDialogEx(const std::vector<std::uint8_t>& data) {
    Cursor in(data);
    Dialog dialog{};
    dialog.version = in.take<std::uint16_t>();
    dialog.signature = in.take<std::uint16_t>();
    dialog.helpId = in.take<std::uint32_t>();
    dialog.exStyle = in.take<std::uint32_t>();
    dialog.style = in.take<std::uint32_t>();
    const auto count = in.take<std::uint16_t>();
    dialog.x = in.take<std::int16_t>();
    dialog.y = in.take<std::int16_t>();
    dialog.cx = in.take<std::int16_t>();
    dialog.cy = in.take<std::int16_t>();
    dialog.menu = in.nameOrOrdinal();
    dialog.windowClass = in.nameOrOrdinal();
    dialog.caption = in.text();
    if ((dialog.style & kDsSetFont) != 0 || (dialog.style & kDsShellFont) == kDsShellFont) {
        dialog.pointSize = in.take<std::uint16_t>();
        dialog.weight = in.take<std::uint16_t>();
        dialog.italic = in.take<std::uint8_t>();
        dialog.charset = in.take<std::uint8_t>();
        dialog.typeface = in.text();
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        in.alignTo(4);
        DialogItem item{};
        item.helpId = in.take<std::uint32_t>();
        item.exStyle = in.take<std::uint32_t>();
        item.style = in.take<std::uint32_t>();
        item.x = in.take<std::int16_t>();
        item.y = in.take<std::int16_t>();
        item.cx = in.take<std::int16_t>();
        item.cy = in.take<std::int16_t>();
        item.id = in.take<std::int32_t>();
        item.windowClass = in.nameOrOrdinal();
        item.text = in.nameOrOrdinal();
        item.extraBytes = in.take<std::uint16_t>();
        in.skip(item.extraBytes);
        dialog.items.push_back(item);
    }
    return dialog;
}

std::vector<std::u16string> DecodeStringBlock(const std::vector<std::uint8_t>& data) {
    Cursor in(data);
    std::vector<std::u16string> strings;
    for (int i = 0; i < 16; ++i) {
        const auto length = in.take<std::uint16_t>();
        std::u16string text;
        for (std::uint16_t c = 0; c < length; ++c) {
            text += in.take<char16_t>();
        }
        strings.push_back(text);
    }
    return strings;
}

std::vector<IconGroupEntry> DecodeIconGroup(const std::vector<std::uint8_t>& data) {
    Cursor in(data);
    in.take<std::uint16_t>(); // reserved
    if (in.take<std::uint16_t>() != 1) {
        throw std::runtime_error("not an icon group");
    }
    const auto count = in.take<std::uint16_t>();
    std::vector<IconGroupEntry> entries;
    for (std::uint16_t i = 0; i < count; ++i) {
        IconGroupEntry entry{};
        const auto width = in.take<std::uint8_t>();
        const auto height = in.take<std::uint8_t>();
        entry.width = width == 0 ? 256 : width;
        entry.height = height == 0 ? 256 : height;
        in.skip(2); // colour count, reserved
        entry.planes = in.take<std::uint16_t>();
        entry.bitCount = in.take<std::uint16_t>();
        entry.bytes = in.take<std::uint32_t>();
        entry.id = in.take<std::uint16_t>();
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::vector<std::uint8_t>> IcoImages(const std::vector<std::uint8_t>& file) {
    Cursor in(file);
    in.take<std::uint16_t>(); // reserved
    if (in.take<std::uint16_t>() != 1) {
        throw std::runtime_error("not an .ico file");
    }
    const auto count = in.take<std::uint16_t>();
    std::vector<std::vector<std::uint8_t>> images;
    for (std::uint16_t i = 0; i < count; ++i) {
        in.skip(8); // width, height, colours, reserved, planes, bit count
        const auto bytes = in.take<std::uint32_t>();
        const auto offset = in.take<std::uint32_t>();
        if (offset > file.size() || bytes > file.size() - offset) {
            throw std::runtime_error("an .ico image outside the file");
        }
        images.emplace_back(file.begin() + offset, file.begin() + offset + bytes);
    }
    return images;
}

} // namespace kestrove::pe
