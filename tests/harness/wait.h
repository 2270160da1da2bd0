// Bounded waits for what another process does: poll a condition until it
// holds or the time is up. Nothing here measures how long anything took.
#pragma once

#include <chrono>
#include <thread>

namespace kestrove::e2e {

// Generous: a loaded machine may run a few tests side by side.
constexpr std::chrono::milliseconds kWaitTimeout{10000};
// How long a key that must change nothing is given to change something.
constexpr std::chrono::milliseconds kSettleTime{1000};

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = kWaitTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// True when `condition` held at every look during `duration`.
template <typename Condition>
bool StaysTrue(Condition condition, std::chrono::milliseconds duration = kSettleTime) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!condition()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

} // namespace kestrove::e2e
