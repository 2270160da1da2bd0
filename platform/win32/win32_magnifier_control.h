// The magnifier control on the Magnification API, loaded at run time.
#pragma once

#include "platform/seam/magnifier.h"
#include "platform/win32/magnification_api.h"

namespace kestrove::win32 {

class Win32MagnifierControl final : public Magnifier {
public:
    explicit Win32MagnifierControl(HINSTANCE instance) : m_hInstance(instance) {}

    bool magInitialize() override;
    WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) override;
    // MagSetWindowSource takes the rectangle alone: the control shows what
    // lies there.
    bool magSetWindowSource(WindowHandle magnifier, MonitorHandle monitor,
                            const Rect& source) override;
    bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) override;

private:
    HINSTANCE m_hInstance;
    MagnificationApi m_magnification;
};

} // namespace kestrove::win32
