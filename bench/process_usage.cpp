#include "bench/process_usage.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace kestrove::bench {

std::optional<std::chrono::nanoseconds> CpuTime(pid_t pid) {
    // The process's CPU clock counts every thread, also those that have
    // ended: a sum over the threads still there drops when one ends.
    // No process has a pid under 1; the clock of -1 or 0 is the caller's own.
    clockid_t clock{};
    timespec time{};
    if (pid < 1 || clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &time) != 0) {
        return std::nullopt;
    }
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

namespace {

// The number after `name` (say "VmHWM:") in a /proc status file.
std::optional<long> StatusField(const std::filesystem::path& status, const std::string& name) {
    std::ifstream file(status);
    std::string line;
    while (std::getline(file, line)) {
        if (line.rfind(name, 0) == 0) {
            std::istringstream fields(line.substr(name.size()));
            long value = 0;
            if (fields >> value) {
                return value;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<long> Wakeups(pid_t pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    std::optional<long> total;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        if (const auto switches = StatusField(task.path() / "status", "voluntary_ctxt_switches:")) {
            total = total.value_or(0) + *switches;
        }
    }
    return total;
}

std::optional<long> PeakResidentKiB(pid_t pid) {
    return StatusField("/proc/" + std::to_string(pid) + "/status", "VmHWM:");
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

pid_t ParentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // pid (comm) state ppid ...: comm may hold spaces, so read after its ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

std::vector<pid_t> ProcessesNamed(const std::vector<std::string>& names,
                                  const std::function<bool(pid_t)>& belongs) {
    std::vector<pid_t> found;
    for (const std::string& name : names) {
        for (const pid_t pid : ProcessesNamed(name)) {
            if (belongs(pid)) {
                found.push_back(pid);
            }
        }
    }
    return found;
}

bool DescendsFrom(pid_t pid, pid_t ancestor) {
    for (pid_t up = pid; up > 1; up = ParentOf(up)) {
        if (up == ancestor) {
            return true;
        }
    }
    return false;
}

bool HasEnvironment(pid_t pid, const std::string& variable) {
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ");
    std::string entry;
    while (std::getline(environ, entry, '\0')) {
        if (entry == variable) {
            return true;
        }
    }
    return false;
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
