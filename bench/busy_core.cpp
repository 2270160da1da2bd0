#include "bench/busy_core.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrove::bench {

BusyCore::BusyCore() {
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0) {
        throw std::runtime_error(std::string("cannot start the busy process: ") +
                                 std::strerror(errno));
    }
    if (m_pid == 0) {
        // Only system calls and a plain loop here: the benchmark has other
        // threads, which the child does not have.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(0);
        }
        volatile unsigned long spin = 0;
        for (;;) {
            spin = spin + 1;
        }
    }
}

BusyCore::~BusyCore() {
    kill(m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace kestrove::bench
