#include "pe_resources.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kestrove::pe {

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    template <typename T> T read(std::size_t offset) const {
        require(offset, sizeof(T));
        T value;
        std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
        return value;
    }
    void require(std::size_t offset, std::size_t size) const {
        if (offset > m_bytes.size() || size > m_bytes.size() - offset) {
            throw std::runtime_error("the executable is cut short or damaged");
        }
    }
    std::vector<std::uint8_t> slice(std::size_t offset, std::size_t size) const {
        require(offset, size);
        return {m_bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                m_bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawOffset;
    std::uint32_t rawSize;
};

class Reader {
public:
    explicit Reader(Bytes bytes) : m_file(std::move(bytes)) {}

    Image read() {
        if (m_file.read<std::uint16_t>(0) != 0x5A4D) {
            throw std::runtime_error("no MZ header");
        }
        const std::uint32_t pe = m_file.read<std::uint32_t>(0x3C);
        if (m_file.read<std::uint32_t>(pe) != 0x00004550) {
            throw std::runtime_error("no PE signature");
        }
        Image image;
        const std::size_t coff = pe + 4;
        image.machine = m_file.read<std::uint16_t>(coff);
        const std::uint16_t sectionCount = m_file.read<std::uint16_t>(coff + 2);
        const std::uint16_t optionalSize = m_file.read<std::uint16_t>(coff + 16);
        const std::size_t optional = coff + 20;
        if (m_file.read<std::uint16_t>(optional) != 0x20B) {
            throw std::runtime_error("not a PE32+ (64-bit) image");
        }
        image.subsystem = m_file.read<std::uint16_t>(optional + 68);
        const std::uint32_t directoryCount = m_file.read<std::uint32_t>(optional + 108);
        const auto directory = [&](std::uint32_t index) -> std::pair<std::uint32_t, std::uint32_t> {
            if (index >= directoryCount) {
                return {0, 0};
            }
            const std::size_t entry = optional + 112 + 8 * index;
            return {m_file.read<std::uint32_t>(entry), m_file.read<std::uint32_t>(entry + 4)};
        };

        const std::size_t sections = optional + optionalSize;
        for (std::uint16_t i = 0; i < sectionCount; ++i) {
            const std::size_t header = sections + 40u * i;
            m_sections.push_back(
                {m_file.read<std::uint32_t>(header + 12), m_file.read<std::uint32_t>(header + 8),
                 m_file.read<std::uint32_t>(header + 20), m_file.read<std::uint32_t>(header + 16)});
        }

        if (const auto [rva, size] = directory(1); rva != 0 && size != 0) {
            readImports(rva, image);
        }
        if (const auto [rva, size] = directory(2); rva != 0 && size != 0) {
            m_resourceBase = offsetOf(rva);
            readDirectory(m_resourceBase, 0, {}, {}, image);
        }
        return image;
    }

private:
    std::size_t offsetOf(std::uint32_t rva) const {
        for (const Section& section : m_sections) {
            if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
                return section.rawOffset + (rva - section.virtualAddress);
            }
        }
        throw std::runtime_error("an address outside every section");
    }

    std::string asciiAt(std::size_t offset) const {
        std::string text;
        for (char c; (c = static_cast<char>(m_file.read<std::uint8_t>(offset))) != '\0'; ++offset) {
            text += c;
        }
        return text;
    }

    void readImports(std::uint32_t rva, Image& image) const {
        for (std::size_t descriptor = offsetOf(rva);; descriptor += 20) {
            const std::uint32_t nameRva = m_file.read<std::uint32_t>(descriptor + 12);
            if (nameRva == 0) {
                return;
            }
            image.importedDlls.push_back(asciiAt(offsetOf(nameRva)));
        }
    }

    ResourceId idOf(std::uint32_t nameField) const {
        if ((nameField & 0x80000000u) == 0) {
            return static_cast<std::uint16_t>(nameField);
        }
        const std::size_t at = m_resourceBase + (nameField & 0x7FFFFFFFu);
        const std::uint16_t length = m_file.read<std::uint16_t>(at);
        std::u16string name;
        for (std::uint16_t i = 0; i < length; ++i) {
            name += static_cast<char16_t>(m_file.read<std::uint16_t>(at + 2 + 2u * i));
        }
        return name;
    }

    // Levels: 0 type, 1 name, 2 language.
    void readDirectory(std::size_t at, int level, const ResourceId& type, const ResourceId& name,
                       Image& image) {
        if (level > 2) {
            throw std::runtime_error("the resource directory is nested too deep");
        }
        const std::size_t count =
            std::size_t{m_file.read<std::uint16_t>(at + 12)} + m_file.read<std::uint16_t>(at + 14);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = at + 16 + 8 * i;
            const std::uint32_t nameField = m_file.read<std::uint32_t>(entry);
            const std::uint32_t target = m_file.read<std::uint32_t>(entry + 4);
            const std::size_t child = m_resourceBase + (target & 0x7FFFFFFFu);
            if ((target & 0x80000000u) != 0) {
                const ResourceId id = idOf(nameField);
                readDirectory(child, level + 1, level == 0 ? id : type, level == 1 ? id : name,
                              image);
            } else if (level == 2) {
                const std::uint32_t dataRva = m_file.read<std::uint32_t>(child);
                const std::uint32_t size = m_file.read<std::uint32_t>(child + 4);
                image.resources.push_back({type, name, static_cast<std::uint16_t>(nameField),
                                           m_file.slice(offsetOf(dataRva), size)});
            } else {
                throw std::runtime_error("resource data above the language level");
            }
        }
    }

    Bytes m_file;
    std::vector<Section> m_sections;
    std::size_t m_resourceBase = 0;
};

} // namespace

Image ReadImage(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot open " + path);
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    return Reader(Bytes(std::move(bytes))).read();
}

const Resource* FindResource(const Image& image, const ResourceId& type, const ResourceId& name,
                             std::uint16_t language) {
    for (const Resource& resource : image.resources) {
        if (resource.type == type && resource.name == name && resource.language == language) {
            return &resource;
        }
    }
    return nullptr;
}

} // namespace kestrove::pe
