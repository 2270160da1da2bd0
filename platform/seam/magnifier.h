// The magnifier control: a child window showing a source rectangle of the
// screen, scaled.
#pragma once

#include "platform/types.h"

namespace kestrove {

class Magnifier {
public:
    virtual bool magInitialize() = 0; // MagInitialize
    // CreateWindowExW(0, WC_MAGNIFIER, "MagnifierWindow", 0x50000001, area, parent)
    virtual WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) = 0;
    // MagSetWindowSource(magnifier, source); `monitor` is the handle the
    // enumeration gave for the monitor shown (0: none), so that the platform
    // knows the monitor itself, not only its place.
    virtual bool magSetWindowSource(WindowHandle magnifier, MonitorHandle monitor,
                                    const Rect& source) = 0;
    virtual bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) = 0;

protected:
    ~Magnifier() = default;
};

} // namespace kestrove
