#include "bench/benchmark_driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

namespace kestrove::bench {
namespace {

// A whole positive number of seconds, nothing else after it.
std::optional<int> Seconds(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0 || value > 24 * 3600) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<BenchmarkOptions> ReadOptions(int argc, char** argv, const Benchmark& benchmark) {
    int seconds = benchmark.defaultSeconds;
    BenchmarkOptions options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
            const auto value = Seconds(argv[++i]);
            if (!value) {
                return std::nullopt;
            }
            seconds = *value;
        } else if (benchmark.takesExecutable && std::strcmp(argv[i], "--executable") == 0 &&
                   hasValue) {
            options.executable = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    if (seconds < benchmark.minimumSeconds) {
        return std::nullopt;
    }
    options.measure = std::chrono::seconds(seconds);
    return options;
}

} // namespace

int RunBenchmark(int argc, char** argv, const Benchmark& benchmark) {
    const auto options = ReadOptions(argc, argv, benchmark);
    if (!options) {
        std::fprintf(stderr, "usage: %s [--seconds N]%s, N a whole number of seconds, %d or more\n",
                     benchmark.program.c_str(),
                     benchmark.takesExecutable ? " [--executable PATH]" : "",
                     benchmark.minimumSeconds);
        return 2;
    }
    if (const std::string why = benchmark.unavailable(); !why.empty()) {
        std::fprintf(stderr, "%s: %s\n", benchmark.program.c_str(), why.c_str());
        return 1;
    }
    try {
        for (const BenchmarkRun& run : benchmark.runs) {
            std::fprintf(stderr, "measuring %s ...\n", run.label.c_str());
            run.run(*options);
        }
        benchmark.report();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", benchmark.program.c_str(), error.what());
        return 1;
    }
    return 0;
}

} // namespace kestrove::bench
