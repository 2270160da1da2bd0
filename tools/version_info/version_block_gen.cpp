// Writes the program's version-information block (from res::kVersion) to the
// file named on the command line, for embedding into the executable.
#include "tools/version_info/version_block_writer.h"

#include <cstdio>
#include <exception>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
        return 2;
    }
    try {
        const std::vector<std::uint8_t> block = kestrove::versioninfo::LayOut(
            kestrove::versioninfo::VersionInfoTree(kestrove::res::kVersion));
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
