#include "platform/x11/process/elf_version_section.h"

#include "common/utf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kestrove::x11 {

namespace {

// A version block opens with its three 16-bit header words, and its root
// length is 16 bits wide.
constexpr std::uint64_t kMinimumBlock = 6;
constexpr std::uint64_t kMaximumBlock = 0xFFFF;

constexpr std::uint16_t kSectionIndexExtended = 0xFFFF; // SHN_XINDEX
constexpr std::uint32_t kSectionNoBits = 8;             // SHT_NOBITS

class File {
public:
    explicit File(const char16_t* path)
        : m_fd(path == nullptr ? -1 : ::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat info {};
        if (m_fd >= 0 && ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode)) {
            m_size = static_cast<std::uint64_t>(info.st_size);
        }
    }
    ~File() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    std::uint64_t size() const { return m_size; }
    // Whether [offset, offset + length) lies inside the file.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    // Reads exactly `length` bytes at `offset`; false when they are not all in the file.
    bool read(std::uint64_t offset, void* out, std::uint64_t length) const {
        if (m_fd < 0 || !holds(offset, length)) {
            return false;
        }
        auto* bytes = static_cast<unsigned char*>(out);
        while (length > 0) {
            const ssize_t got = ::pread(m_fd, bytes, length, static_cast<off_t>(offset));
            if (got <= 0) {
                return false;
            }
            bytes += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::uint64_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::uint64_t m_size = 0;
};

// Unsigned fields of either width and byte order.
class Fields {
public:
    Fields(const unsigned char* bytes, bool bigEndian) : m_bytes(bytes), m_bigEndian(bigEndian) {}
    std::uint64_t get(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = m_bigEndian ? i : width - 1 - i;
            value = value << 8 | m_bytes[offset + at];
        }
        return value;
    }

private:
    const unsigned char* m_bytes;
    bool m_bigEndian;
};

struct Layout {
    bool wide; // ELFCLASS64
    bool bigEndian;
    std::size_t headerSize;
    std::size_t sectionHeaderSize; // the smallest entry that holds every field read
};

struct SectionHeader {
    std::uint32_t name;
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
    std::uint32_t link;
};

SectionHeader ReadSectionHeader(const Layout& layout, const unsigned char* bytes) {
    const Fields f(bytes, layout.bigEndian);
    if (layout.wide) {
        return {static_cast<std::uint32_t>(f.get(0, 4)), static_cast<std::uint32_t>(f.get(4, 4)),
                f.get(24, 8), f.get(32, 8), static_cast<std::uint32_t>(f.get(40, 4))};
    }
    return {static_cast<std::uint32_t>(f.get(0, 4)), static_cast<std::uint32_t>(f.get(4, 4)),
            f.get(16, 4), f.get(20, 4), static_cast<std::uint32_t>(f.get(24, 4))};
}

struct Section {
    std::uint64_t offset;
    std::uint64_t size;
};

std::optional<Section> FindVersionSection(const File& file) {
    std::array<unsigned char, 64> header{};
    if (!file.read(0, header.data(), 16) || std::memcmp(header.data(),
                                                        "\x7f"
                                                        "ELF",
                                                        4) != 0) {
        return std::nullopt;
    }
    const unsigned char elfClass = header[4];
    const unsigned char elfData = header[5];
    if ((elfClass != 1 && elfClass != 2) || (elfData != 1 && elfData != 2)) {
        return std::nullopt;
    }
    const Layout layout{elfClass == 2, elfData == 2, elfClass == 2 ? 64u : 52u,
                        elfClass == 2 ? 44u : 28u};
    if (!file.read(0, header.data(), layout.headerSize)) {
        return std::nullopt;
    }
    const Fields f(header.data(), layout.bigEndian);
    const std::uint64_t tableOffset = layout.wide ? f.get(40, 8) : f.get(32, 4);
    const std::size_t at = layout.wide ? 58 : 46; // e_shentsize, e_shnum, e_shstrndx
    const std::uint64_t entrySize = f.get(at, 2);
    std::uint64_t count = f.get(at + 2, 2);
    std::uint64_t namesIndex = f.get(at + 4, 2);
    if (tableOffset == 0 || entrySize < layout.sectionHeaderSize) {
        return std::nullopt;
    }

    std::vector<unsigned char> entry(entrySize);
    const auto readEntry = [&](std::uint64_t index) -> std::optional<SectionHeader> {
        if (!file.read(tableOffset + index * entrySize, entry.data(), entrySize)) {
            return std::nullopt;
        }
        return ReadSectionHeader(layout, entry.data());
    };
    // Files with many sections keep the real count and name-table index in
    // the first entry.
    if (count == 0 || namesIndex == kSectionIndexExtended) {
        const std::optional<SectionHeader> first = readEntry(0);
        if (!first) {
            return std::nullopt;
        }
        count = count == 0 ? first->size : count;
        namesIndex = namesIndex == kSectionIndexExtended ? first->link : namesIndex;
    }
    // The table must lie inside the file, which also bounds the loop below.
    if (count == 0 || namesIndex >= count || tableOffset > file.size() ||
        count > (file.size() - tableOffset) / entrySize) {
        return std::nullopt;
    }
    const std::optional<SectionHeader> names = readEntry(namesIndex);
    if (!names || names->type == kSectionNoBits || !file.holds(names->offset, names->size)) {
        return std::nullopt;
    }

    const std::string wanted(kVersionSectionName);
    std::vector<char> name(wanted.size() + 1);
    for (std::uint64_t index = 0; index < count; ++index) {
        const std::optional<SectionHeader> section = readEntry(index);
        if (!section || section->name >= names->size || names->size - section->name < name.size()) {
            continue;
        }
        if (!file.read(names->offset + section->name, name.data(), name.size()) ||
            std::memcmp(name.data(), wanted.c_str(), name.size()) != 0) {
            continue;
        }
        if (section->type == kSectionNoBits || section->size < kMinimumBlock ||
            section->size > kMaximumBlock || !file.holds(section->offset, section->size)) {
            return std::nullopt;
        }
        return Section{section->offset, section->size};
    }
    return std::nullopt;
}

} // namespace

std::uint32_t ReadVersionSectionSize(const char16_t* path) {
    const File file(path);
    const std::optional<Section> section = FindVersionSection(file);
    return section ? static_cast<std::uint32_t>(section->size) : 0;
}

bool ReadVersionSection(const char16_t* path, std::uint32_t size, void* block) {
    if (block == nullptr || size < kMinimumBlock) {
        return false;
    }
    const File file(path);
    const std::optional<Section> section = FindVersionSection(file);
    if (!section) {
        return false;
    }
    const std::uint64_t length = std::min<std::uint64_t>(size, section->size);
    if (!file.read(section->offset, block, length)) {
        return false;
    }
    auto* bytes = static_cast<unsigned char*>(block);
    const std::uint16_t rootLength = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    if (rootLength > length) {
        bytes[0] = static_cast<unsigned char>(length & 0xFF);
        bytes[1] = static_cast<unsigned char>(length >> 8);
    }
    return true;
}

} // namespace kestrove::x11
