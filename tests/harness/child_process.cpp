#include "tests/harness/child_process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrove::e2e {

namespace {

std::string ErrorText(int error) {
    return std::strerror(error);
}

// This process's environment with `changes` applied.
std::vector<std::string> Environment(const std::vector<EnvironmentChange>& changes) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        const auto changed = [&](const EnvironmentChange& change) {
            return variable.substr(0, variable.find('=')) == change.name;
        };
        if (std::none_of(changes.begin(), changes.end(), changed)) {
            variables.emplace_back(variable);
        }
    }
    for (const auto& change : changes) {
        if (change.value) {
            variables.push_back(change.name + "=" + *change.value);
        }
    }
    return variables;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void RunChild(const std::vector<char*>& argv, const std::vector<char*>& envp,
                           int stdoutFd, int stderrFd, int reportFd) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(stdoutFd, STDOUT_FILENO);
    dup2(stderrFd, STDERR_FILENO);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
    }
    execvpe(argv[0], argv.data(), envp.data());
    const int error = errno;
    [[maybe_unused]] const auto written = write(reportFd, &error, sizeof error);
    _exit(127);
}

} // namespace

std::string ExitStatus::describe() const {
    return exited ? "exit status " + std::to_string(code) : "signal " + std::to_string(code);
}

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           const std::vector<EnvironmentChange>& environment)
    : m_argv(std::move(argv)) {
    std::array<int, 2> output{};
    std::array<int, 2> report{};
    if (pipe2(output.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe: " + ErrorText(errno));
    }
    if (pipe2(report.data(), O_CLOEXEC) != 0) {
        close(output[0]);
        close(output[1]);
        throw std::runtime_error("pipe: " + ErrorText(errno));
    }
    char stderrPath[] = "/tmp/kestrove-e2e-stderr-XXXXXX";
    const int stderrFd = mkostemp(stderrPath, O_CLOEXEC);
    if (stderrFd < 0) {
        for (const int fd : {output[0], output[1], report[0], report[1]}) {
            close(fd);
        }
        throw std::runtime_error("mkostemp: " + ErrorText(errno));
    }
    m_stderrPath = stderrPath;

    std::vector<char*> args;
    for (auto& arg : m_argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);

    std::vector<std::string> variables = Environment(environment);
    std::vector<char*> envp;
    for (auto& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        RunChild(args, envp, output[1], stderrFd, report[1]);
    }
    const int forkError = errno;
    close(output[1]);
    close(report[1]);
    close(stderrFd);
    if (m_pid < 0) {
        close(output[0]);
        close(report[0]);
        unlink(m_stderrPath.c_str());
        throw std::runtime_error("fork: " + ErrorText(forkError));
    }
    m_stdout = output[0];

    int execError = 0;
    const auto got = read(report[0], &execError, sizeof execError);
    close(report[0]);
    if (got == sizeof execError) {
        reap(0);
        close(m_stdout);
        unlink(m_stderrPath.c_str());
        throw std::runtime_error("cannot run " + m_argv.front() + ": " + ErrorText(execError));
    }
}

ChildProcess::~ChildProcess() {
    if (!m_status) {
        terminate();
    }
    if (m_stdout >= 0) {
        close(m_stdout);
    }
    unlink(m_stderrPath.c_str());
}

bool ChildProcess::fill(Clock::time_point deadline) {
    if (m_outputEnded) {
        return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd fd{m_stdout, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) {
        return false;
    }
    char chunk[4096];
    const auto got = read(m_stdout, chunk, sizeof chunk);
    if (got <= 0) {
        m_outputEnded = true;
        return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = m_buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return line;
        }
        if (!fill(deadline) && (m_outputEnded || Clock::now() >= deadline)) {
            return std::nullopt;
        }
    }
}

std::string ChildProcess::readRest(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!m_outputEnded && Clock::now() < deadline) {
        fill(deadline);
    }
    return std::exchange(m_buffer, {});
}

std::string ChildProcess::standardError() const {
    std::ifstream file(m_stderrPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool ChildProcess::reap(int flags) {
    if (m_status) {
        return true;
    }
    int status = 0;
    const pid_t got = waitpid(m_pid, &status, flags);
    if (got != m_pid) {
        return false;
    }
    m_status = WIFEXITED(status) ? ExitStatus{true, WEXITSTATUS(status)}
                                 : ExitStatus{false, WTERMSIG(status)};
    return true;
}

bool ChildProcess::running() {
    return !reap(WNOHANG);
}

std::optional<ExitStatus> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!reap(WNOHANG)) {
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

ExitStatus ChildProcess::terminate() {
    if (!reap(WNOHANG)) {
        kill(m_pid, SIGTERM);
        if (!waitExit(std::chrono::seconds(3))) {
            kill(m_pid, SIGKILL);
            reap(0);
        }
    }
    return *m_status;
}

} // namespace kestrove::e2e
