// Any bytes as the executable file: the search for the version section reads
// only what the file holds, and what it hands on is a block the lookups can
// take.
#include "common/version_block.h"
#include "platform/x11/process/elf_version_section.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// One file in memory for the whole run, rewritten for each input.
int MemoryFile() {
    static const int fd = [] {
        const int created = ::memfd_create("executable", MFD_CLOEXEC);
        if (created < 0) {
            std::abort();
        }
        return created;
    }();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = MemoryFile();
    if (::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::u16string path16(path.begin(), path.end());

    const std::uint32_t blockSize = kestrove::x11::ReadVersionSectionSize(path16.c_str());
    if (blockSize == 0) {
        return 0;
    }
    if (blockSize > size) {
        std::abort(); // a section larger than the file cannot be there
    }
    // Also a buffer shorter than the section, as a caller with a stale size has.
    for (const std::uint32_t room : {blockSize, blockSize / 2}) {
        std::vector<unsigned char> block(room);
        if (kestrove::x11::ReadVersionSection(path16.c_str(), room, block.data())) {
            const void* value = nullptr;
            std::uint32_t length = 0;
            kestrove::QueryVersionValue(block.data(), u"\\VarFileInfo\\Translation", &value,
                                        &length);
        }
    }
    return 0;
}
