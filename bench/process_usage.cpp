#include "bench/process_usage.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kestrove::bench {

std::optional<std::chrono::nanoseconds> CpuTime(pid_t pid) {
    const std::filesystem::path tasks =
        std::filesystem::path("/proc") / std::to_string(pid) / "task";
    std::error_code error;
    std::filesystem::directory_iterator it(tasks, error);
    if (error) {
        return std::nullopt;
    }
    long long total = 0;
    for (const auto& task : it) {
        std::ifstream stat(task.path() / "schedstat");
        long long running = 0;
        if (stat >> running) {
            total += running;
        }
    }
    return std::chrono::nanoseconds(total);
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

std::vector<pid_t> ProcessesNamed(const std::string& name) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream comm(entry.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) {
            found.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
        }
    }
    return found;
}

std::chrono::nanoseconds CpuOf(const std::vector<pid_t>& pids) {
    std::chrono::nanoseconds total{0};
    for (const pid_t pid : pids) {
        total += CpuTime(pid).value_or(std::chrono::nanoseconds{0});
    }
    return total;
}

double Ms(std::chrono::nanoseconds time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

} // namespace kestrove::bench
