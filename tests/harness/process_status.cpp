#include "tests/harness/process_status.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace kestrove::e2e {

std::optional<long> ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return std::nullopt;
}

std::optional<long> OpenDescriptors(pid_t pid) {
    std::error_code error;
    std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error);
    if (error) {
        return std::nullopt;
    }
    long count = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        ++count;
    }
    return count;
}

} // namespace kestrove::e2e
