#include "tests/fake/recording_platform.h"

#include <sstream>

namespace kestrove::testing {

std::string Describe(const Rect& rc) {
    std::ostringstream text;
    text << rc.left << ',' << rc.top << ',' << rc.right << ',' << rc.bottom;
    return text.str();
}

RecordingPlatform::RecordingPlatform() {
    SetThePlatform(&m_platform);
}

RecordingPlatform::~RecordingPlatform() {
    SetThePlatform(nullptr);
}

std::vector<std::string> RecordingState::takeCalls() {
    std::vector<std::string> taken;
    taken.swap(calls);
    return taken;
}

void RecordingState::record(std::string call) {
    calls.push_back(std::move(call));
}

} // namespace kestrove::testing
