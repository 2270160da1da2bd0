#include "bench/process_usage.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrove::bench {

std::optional<std::chrono::nanoseconds> CpuTime(pid_t pid) {
    // The process's CPU clock counts every thread, also those that have
    // ended: a sum over the threads still there drops when one ends.
    clockid_t clock{};
    timespec time{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &time) != 0) {
        return std::nullopt;
    }
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

std::optional<long> PeakResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            long kib = 0;
            if (fields >> kib) {
                return kib;
            }
        }
    }
    return std::nullopt;
}

} // namespace kestrove::bench
