#include "common/error_line.h"

#include <cstdio>

namespace kestrove {

void PrintErrorLine(std::string_view text) {
    // What went before on standard output stays before the error.
    std::fflush(stdout);
    std::fprintf(stderr, "Kestrove: %.*s\n", static_cast<int>(text.size()), text.data());
}

} // namespace kestrove
