// A process of the benchmark's own that keeps one core busy for as long as
// the object lives: the load another program puts on the machine while the
// mirror runs.
#pragma once

#include <sys/types.h>

namespace kestrove::bench {

class BusyCore {
public:
    // Throws std::runtime_error when the process cannot be started.
    BusyCore();
    ~BusyCore();
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    pid_t m_pid;
};

} // namespace kestrove::bench
