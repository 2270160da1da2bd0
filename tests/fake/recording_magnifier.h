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
        if (!m_fake.magnifierCreated) {
            return 0;
        }
        m_fake.magnifierArea = area;
        return m_fake.kMagnifier;
    }

    bool magSetWindowSource(WindowHandle, MonitorHandle monitor, const Rect& source) override {
        m_fake.record("magSetWindowSource(" + std::to_string(monitor) + ":" + Describe(source) +
                      ")");
        m_fake.sourceMonitor = monitor;
        m_fake.source = source;
        return true;
    }

    bool magSetWindowTransform(WindowHandle, const MagTransform& transform) override {
        std::ostringstream text;
        text.precision(9);
        text << "magSetWindowTransform(" << transform.v[0][0] << ")";
        m_fake.record(text.str());
        m_fake.zoom = transform.v[0][0];
        return true;
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
