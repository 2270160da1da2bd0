#include "program/mirror/kestrove_dlg.h"

#include "common/fixed_text.h"
#include "program/about/about_dlg.h"
#include "program/mirror/mirror_math.h"
#include "program/monitors/multi_display.h"
#include "res/resource_ids.h"

namespace kestrove {

namespace {
constexpr std::uint32_t kSysCommandMask = 0xFFF0;
}

CKestroveDlg::CKestroveDlg(Dialog* pParent) : Dialog(IDD_MIRROR, pParent) {
    m_hIcon = platform().resources.loadIcon(IDR_MAIN_ICON);
}

CKestroveDlg::~CKestroveDlg() = default;

bool CKestroveDlg::OnInitDialog() {
    Dialog::OnInitDialog();

    AppendAboutEntry(m_hWnd);

    platform().windowing.setIcon(m_hWnd, win::ICON_BIG, m_hIcon);
    platform().windowing.setIcon(m_hWnd, win::ICON_SMALL, m_hIcon);

    m_hAccel = platform().resources.loadAccelerators(IDR_MIRROR_ACCEL);

    platform().magnifier.magInitialize();

    platform().displays.enumDisplayMonitors(
        MonitorEnumProc, reinterpret_cast<std::intptr_t>(CMultiDisplay::GetInstance()));

    const Rect client = platform().windowing.getClientRect(m_hWnd);
    m_hwndMagnifier = platform().magnifier.createMagnifierWindow(m_hWnd, client);

    m_nCurrent = 0;
    SelectMonitor(0);

    m_nTimerId = platform().dialogs.setTimer(m_hWnd, IDT_REFRESH, 50);
    return true;
}

bool CKestroveDlg::OnCommand(std::uint32_t id) {
    if (id >= ID_SELECT_MONITOR_1 && id <= ID_SELECT_MONITOR_5) {
        OnSelectMonitor(static_cast<std::int32_t>(id - ID_SELECT_MONITOR_1 + 1));
        return true;
    }
    return Dialog::OnCommand(id);
}

void CKestroveDlg::OnSelectMonitor(std::int32_t n) {
    const CMultiDisplay* list = CMultiDisplay::GetInstance();
    if (!MonitorCommandApplies(list->m_nCount, n, m_nCurrent)) {
        return;
    }
    m_nCurrent = n - 1;
    SelectMonitor(static_cast<std::uint32_t>(n - 1));
}

void CKestroveDlg::SelectMonitor(std::uint32_t i) {
    const CMultiDisplay* list = CMultiDisplay::GetInstance();
    MonitorInfoEx info{};
    m_hSourceMonitor = 0;
    if (i < list->m_entries.size()) {
        info = list->m_entries[i].info;
        m_hSourceMonitor = list->m_entries[i].hMonitor;
    }
    m_rcSource = info.rcMonitor;
    // Without a child there is nothing to configure.
    if (m_hwndMagnifier != 0) {
        platform().magnifier.magSetWindowSource(m_hwndMagnifier, m_hSourceMonitor, m_rcSource);
        platform().windowing.invalidateRect(m_hwndMagnifier, true);
    }

    FitToSource();

    const std::int32_t count = CMultiDisplay::GetInstance()->m_nCount;
    const std::u16string description = FindAdapterDescription(
        count, FixedText(info.szDevice), [](std::uint32_t index, DisplayDevice& device) {
            return ThePlatform().displays.enumDisplayDevices(index, device);
        });
    platform().windowing.setWindowText(
        m_hWnd, FormatTitle(static_cast<std::int32_t>(i) + 1, count, description));
}

void CKestroveDlg::FitToSource() {
    if (!platform().windowing.isWindow(m_hwndMagnifier)) {
        return;
    }
    Rect rc = platform().windowing.getClientRect(m_hWnd);
    rc.bottom = FittedClientBottom(m_rcSource, rc);
    rc = platform().windowing.calcWindowRect(m_hWnd, rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    // One pixel taller first, so the window sees a size change even when the
    // fitted size is the one it already has.
    platform().windowing.setWindowSize(m_hWnd, width, height + 1);
    platform().windowing.setWindowSize(m_hWnd, width, height);

    rc = platform().windowing.getClientRect(m_hWnd);
    m_fZoom = ZoomForWidth(m_rcSource, rc.right - rc.left);
    platform().magnifier.magSetWindowTransform(m_hwndMagnifier, ZoomTransform(m_fZoom));
    platform().magnifier.magSetWindowSource(m_hwndMagnifier, m_hSourceMonitor, m_rcSource);

    rc = platform().windowing.getClientRect(m_hWnd);
    platform().windowing.moveWindow(m_hwndMagnifier, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                                    true);
    platform().windowing.invalidateRect(m_hwndMagnifier, true);
}

void CKestroveDlg::OnSysCommand(std::uint32_t nID, std::intptr_t lParam) {
    const std::uint32_t cmd = nID & kSysCommandMask;
    if (cmd == IDM_ABOUT) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    Dialog::OnSysCommand(nID, lParam);
    if (cmd == win::SC_SIZE) {
        FitToSource();
    }
}

void CKestroveDlg::OnTimer(TimerId nIDEvent) {
    if (nIDEvent == m_nTimerId && m_hwndMagnifier != 0) {
        platform().windowing.invalidateRect(m_hwndMagnifier, true);
    }
    Dialog::OnTimer(nIDEvent);
}

bool CKestroveDlg::PreTranslateMessage(Message& msg) {
    if (platform().dialogs.translateAccelerator(m_hWnd, m_hAccel, msg)) {
        return true;
    }
    return Dialog::PreTranslateMessage(msg);
}

void CKestroveDlg::OnPaint() {
    if (!platform().windowing.isIconic(m_hWnd)) {
        Dialog::OnPaint();
        return;
    }
    const DeviceContextHandle dc = platform().windowing.beginPaint(m_hWnd);
    platform().windowing.sendIconEraseBackground(m_hWnd, dc);
    const int cx = platform().windowing.getSystemMetrics(win::SM_CXICON);
    const int cy = platform().windowing.getSystemMetrics(win::SM_CYICON);
    const Point origin = IconOrigin(platform().windowing.getClientRect(m_hWnd), cx, cy);
    platform().windowing.drawIcon(dc, origin.x, origin.y, m_hIcon);
    platform().windowing.endPaint(m_hWnd, dc);
}

IconHandle CKestroveDlg::OnQueryDragIcon() {
    return m_hIcon;
}

bool CKestroveDlg::DestroyWindow() {
    platform().dialogs.killTimer(m_hWnd, m_nTimerId);
    CMultiDisplay::ReleaseInstance();
    return Dialog::DestroyWindow();
}

} // namespace kestrove
