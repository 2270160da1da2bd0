#include "bench/measure_option.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kestrove::bench {

std::optional<std::chrono::milliseconds> MeasureOption(int argc, char** argv, const char* program) {
    int seconds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            seconds = 0;
            break;
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [--seconds N], N a positive number\n", program);
        return std::nullopt;
    }
    return std::chrono::milliseconds(seconds * 1000);
}

} // namespace kestrove::bench
