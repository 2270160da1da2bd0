// The recording fake's magnifier: a magnifier child that is made (or not, as scripted) and records
// its settings.
#pragma once

#include "platform/seam/magnifier.h"
#include "tests/fake/recording_state.h"

#include <sstream>
#include <string>

namespace kestrove::testing {

class RecordingMagnifier final : public Magnifier {
public:
    explicit RecordingMagnifier(RecordingState& fake) : m_fake(fake) {}

    bool magInitialize() override {
        m_fake.record("magInitialize");
        return true;
    }

    WindowHandle createMagnifierWindow(WindowHandle, const Rect& area) override {
        m_fake.record("createMagnifierWindow(" + Describe(area) + ")");
        return m_fake.magnifierCreated ? m_fake.kMagnifier : 0;
    }

    bool magSetWindowSource(WindowHandle, const Rect& source) override {
        m_fake.record("magSetWindowSource(" + Describe(source) + ")");
        return true;
    }

    bool magSetWindowTransform(WindowHandle, const MagTransform& transform) override {
        std::ostringstream text;
        text.precision(9);
        text << "magSetWindowTransform(" << transform.v[0][0] << ")";
        m_fake.record(text.str());
        return true;
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
