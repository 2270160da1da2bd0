// A program started by a test: its standard output on a pipe that the test
// reads line by line, its standard error kept in a file for the failure
// message. The child dies with the test process, and the destructor ends it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace kestrove::e2e {

using Clock = std::chrono::steady_clock;

struct ExitStatus {
    bool exited = false; // false: ended by a signal
    int code = 0;        // the exit code, or the signal number
    std::string describe() const;
};

struct EnvironmentChange {
    std::string name;
    std::optional<std::string> value; // nullopt: removed
};

class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    ChildProcess(std::vector<std::string> argv, const std::vector<EnvironmentChange>& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }
    const std::string& name() const { return m_argv.front(); }

    // The next line of standard output without its line feed; nullopt at the
    // end of the output or when `timeout` passes first.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Everything still to come on standard output, up to its end (bounded).
    std::string readRest(std::chrono::milliseconds timeout);
    std::string standardError() const;

    bool running();
    // Waits (bounded) for the process to end by itself.
    std::optional<ExitStatus> waitExit(std::chrono::milliseconds timeout);
    // Asks the process to end, then forces it; returns how it ended.
    ExitStatus terminate();

private:
    bool fill(Clock::time_point deadline);
    bool reap(int flags);

    std::vector<std::string> m_argv;
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_stderrPath;
    std::string m_buffer;
    bool m_outputEnded = false;
    std::optional<ExitStatus> m_status;
};

} // namespace kestrove::e2e
