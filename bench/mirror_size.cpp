#include "bench/mirror_size.h"

namespace kestrove::bench {

std::vector<BenchmarkRun>
RunsForEachSize(const std::function<void(const Size&, const BenchmarkOptions&)>& measure) {
    std::vector<BenchmarkRun> runs;
    for (const Size& size : kSizes) {
        runs.push_back(
            {std::to_string(size.sourceWidth) + "x" + std::to_string(size.sourceHeight),
             [size, measure](const BenchmarkOptions& options) { measure(size, options); }});
    }
    return runs;
}

} // namespace kestrove::bench
