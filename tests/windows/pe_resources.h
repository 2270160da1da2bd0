// A reader of what a Windows x64 executable (PE32+) says about itself: its
// header fields, the DLLs it imports and its resources, read from the file.
// Every offset is checked against the file, so a damaged file throws
// std::runtime_error instead of reading out of bounds.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kestrove::pe {

// A resource type or name: an ordinal or a string.
using ResourceId = std::variant<std::uint16_t, std::u16string>;

struct Resource {
    ResourceId type;
    ResourceId name;
    std::uint16_t language;
    std::vector<std::uint8_t> data;
};

struct Image {
    std::uint16_t machine = 0;
    std::uint16_t subsystem = 0;
    std::vector<std::string> importedDlls; // as spelled in the import table
    std::vector<Resource> resources;       // in the directory's order
};

Image ReadImage(const std::string& path);

// The resource with that type, name and language, or nullptr.
const Resource* FindResource(const Image& image, const ResourceId& type, const ResourceId& name,
                             std::uint16_t language);

} // namespace kestrove::pe
