#include "tests/fake/recording_magnifier.h"

#include "tests/fake/recording_platform.h"

#include <sstream>
#include <string>

namespace kestrove::testing {

bool RecordingMagnifier::magInitialize() {
    m_fake.record("magInitialize");
    return true;
}

WindowHandle RecordingMagnifier::createMagnifierWindow(WindowHandle, const Rect& area) {
    m_fake.record("createMagnifierWindow(" + Describe(area) + ")");
    return m_fake.magnifierCreated ? m_fake.kMagnifier : 0;
}

bool RecordingMagnifier::magSetWindowSource(WindowHandle, const Rect& source) {
    m_fake.record("magSetWindowSource(" + Describe(source) + ")");
    return true;
}

bool RecordingMagnifier::magSetWindowTransform(WindowHandle, const MagTransform& transform) {
    std::ostringstream text;
    text.precision(9);
    text << "magSetWindowTransform(" << transform.v[0][0] << ")";
    m_fake.record(text.str());
    return true;
}

} // namespace kestrove::testing
