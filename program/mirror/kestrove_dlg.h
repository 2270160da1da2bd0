// The mirror window: a resizable dialog whose client area is covered by a
// magnifier child showing a live, scaled copy of one monitor.
#pragma once

#include "program/framework/dialog.h"

#include <cstdint>

namespace kestrove {

class CKestroveDlg : public Dialog {
public:
    explicit CKestroveDlg(Dialog* pParent = nullptr);
    ~CKestroveDlg() override;

    bool DestroyWindow() override;

    // Handlers of the command map (3001 ... 3005).
    void OnSelectMonitor(std::int32_t n);

protected:
    bool OnInitDialog() override;
    bool PreTranslateMessage(Message& msg) override;
    bool OnCommand(std::uint32_t id) override;
    void OnSysCommand(std::uint32_t nID, std::intptr_t lParam) override;
    void OnTimer(TimerId nIDEvent) override;
    void OnPaint() override;
    IconHandle OnQueryDragIcon() override;

    void SelectMonitor(std::uint32_t i);
    void FitToSource();

    WindowHandle m_hwndMagnifier = 0;
    float m_fZoom = 0.0f;
    Rect m_rcSource{};
    MonitorHandle m_hSourceMonitor = 0; // the monitor m_rcSource belongs to; 0: none
    TimerId m_nTimerId = 0;
    AccelHandle m_hAccel = 0;
    std::int32_t m_nCurrent = 0;
    IconHandle m_hIcon = 0;
};

} // namespace kestrove
