// What a running process holds now, read from /proc: its resident memory and
// its open descriptors. For checks that nothing grows over a long run.
#pragma once

#include <optional>

#include <sys/types.h>

namespace kestrove::e2e {

// AddressSanitizer holds freed memory back in quarantine, so the resident size
// grows by design there; in that build LeakSanitizer checks at exit instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSizeShowsLeaks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentSizeShowsLeaks = false;
#else
constexpr bool kResidentSizeShowsLeaks = true;
#endif
#else
constexpr bool kResidentSizeShowsLeaks = true;
#endif

// Resident set size (VmRSS) in KiB; nullopt when the process is gone.
std::optional<long> ResidentKiB(pid_t pid);

// Open file descriptors; nullopt when the process is gone.
std::optional<long> OpenDescriptors(pid_t pid);

} // namespace kestrove::e2e
