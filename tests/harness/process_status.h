// What a running process holds now, read from /proc: its resident memory and
// its open descriptors. For checks that nothing grows over a long run.
#pragma once

#include <optional>

#include <sys/types.h>

namespace kestrove::e2e {

// Resident set size (VmRSS) in KiB; nullopt when the process is gone.
std::optional<long> ResidentKiB(pid_t pid);

// Open file descriptors; nullopt when the process is gone.
std::optional<long> OpenDescriptors(pid_t pid);

} // namespace kestrove::e2e
