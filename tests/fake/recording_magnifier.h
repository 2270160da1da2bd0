// The recording fake's magnifier: a magnifier child that is made (or not, as scripted) and records
// its settings.
#pragma once

#include "platform/seam/magnifier.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingMagnifier final : public Magnifier {
public:
    explicit RecordingMagnifier(RecordingPlatform& fake) : m_fake(fake) {}

    bool magInitialize() override;
    WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) override;
    bool magSetWindowSource(WindowHandle magnifier, const Rect& source) override;
    bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) override;

private:
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
