#include "program/about/about_dlg.h"

#include "program/about/version_cache.h"
#include "res/resource_ids.h"

namespace kestrove {

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUT, nullptr) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(DataExchange& dx) {
    DDX_Text(dx, IDC_VERSION_LABEL, m_strVersion);
}

bool CAboutDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    m_strVersion = BuildVersionLabel();
    UpdateData(false);
    return true;
}

void AppendAboutEntry(WindowHandle hwnd) {
    Platform& platform = ThePlatform();
    const MenuHandle menu = platform.dialogs.getSystemMenu(hwnd);
    if (menu == 0) {
        return;
    }
    const std::u16string text = platform.resources.loadString(IDS_ABOUT_MENU);
    if (text.empty()) {
        return;
    }
    platform.dialogs.appendMenu(menu, win::MF_SEPARATOR, 0, u"");
    platform.dialogs.appendMenu(menu, win::MF_STRING, IDM_ABOUT, text);
}

} // namespace kestrove
