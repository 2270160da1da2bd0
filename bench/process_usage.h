// What a process costs, read from /proc: CPU time of all its threads and its
// peak resident memory.
#pragma once

#include <chrono>
#include <optional>

#include <sys/types.h>

namespace kestrove::bench {

// CPU time the process's threads have run so far (nanosecond resolution,
// from each thread's schedstat); nullopt when the process is gone.
std::optional<std::chrono::nanoseconds> CpuTime(pid_t pid);

// Peak resident set size (VmHWM) in KiB; nullopt when unreadable.
std::optional<long> PeakResidentKiB(pid_t pid);

} // namespace kestrove::bench
