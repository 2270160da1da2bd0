// How every benchmark starts, runs and ends: its options read one way, a
// progress line on standard error before each run, and a failure reported as
// one line and a non-zero status instead of a report of figures that mean nothing.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kestrove::bench {

struct BenchmarkOptions {
    std::chrono::milliseconds measure{}; // `--seconds N`: each measurement (the soak: the run)
    std::string executable{};            // `--executable PATH`, where taken: another build
};

// One session a benchmark measures (a source size, a desktop): it prints its
// figures, or keeps them for the benchmark's report.
struct BenchmarkRun {
    std::string label; // what "measuring ..." names
    std::function<void(const BenchmarkOptions&)> run;
};

struct Benchmark {
    std::string program{}; // names it in the usage and error lines
    int defaultSeconds = 5;
    int minimumSeconds = 1;
    bool takesExecutable = false;
    // Why it cannot run here (its session is missing); empty when it can.
    std::function<std::string()> unavailable = [] { return std::string(); };
    std::vector<BenchmarkRun> runs{};
    std::function<void()> report = [] {}; // once every run has measured
};

// Reads the options, runs each run in turn, then the report. Returns the exit
// status: 0, 1 when it cannot run here or a run failed, 2 for a bad option.
int RunBenchmark(int argc, char** argv, const Benchmark& benchmark);

} // namespace kestrove::bench
