// What a process costs: CPU time of all its threads, read from its CPU clock,
// and its peak resident memory, read from /proc.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestrove::bench {

// CPU time the process's threads have run so far, those that have ended
// included (nanosecond resolution); nullopt when the process is gone or
// `pid` names none.
std::optional<std::chrono::nanoseconds> CpuTime(pid_t pid);

// How often the process's threads have gone to sleep and been woken so far
// (voluntary context switches, those of ended threads left out); nullopt
// when the process is gone.
std::optional<long> Wakeups(pid_t pid);

// Peak resident set size (VmHWM) in KiB; nullopt when unreadable.
std::optional<long> PeakResidentKiB(pid_t pid);

// Processes whose command name is `name`.
std::vector<pid_t> ProcessesNamed(const std::string& name);

// Processes whose command name is one of `names` and that `belongs` accepts:
// other sessions on the machine may run the same programs.
std::vector<pid_t> ProcessesNamed(const std::vector<std::string>& names,
                                  const std::function<bool(pid_t)>& belongs);

// Whether `ancestor` started `pid`, directly or further down.
bool DescendsFrom(pid_t pid, pid_t ancestor);

// Whether `variable` ("NAME=value") is in the environment `pid` started with.
bool HasEnvironment(pid_t pid, const std::string& variable);

// The process's parent; 0 when the process is gone.
pid_t ParentOf(pid_t pid);

// CPU time of all of `pids` so far; those gone count nothing.
std::chrono::nanoseconds CpuOf(const std::vector<pid_t>& pids);

double Ms(std::chrono::nanoseconds time);

} // namespace kestrove::bench
