// The one option the benchmarks share: how long each measurement lasts.
#pragma once

#include <chrono>
#include <optional>

namespace kestrove::bench {

// `--seconds N` (default 5) from the command line; nullopt, after a usage
// line on standard error naming `program`, for anything else or N below 1.
std::optional<std::chrono::milliseconds> MeasureOption(int argc, char** argv, const char* program);

} // namespace kestrove::bench
