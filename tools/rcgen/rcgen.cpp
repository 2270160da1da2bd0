// rcgen <out.rc> <icon.ico> <manifest>: writes the Windows resource script.
#include "tools/rcgen/resource_script.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <out.rc> <icon.ico> <manifest>\n", argv[0]);
        return 2;
    }
    const std::string script = kestrove::rcgen::ResourceScript({argv[2], argv[3]});
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << script;
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
