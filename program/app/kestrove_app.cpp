#include "program/app/kestrove_app.h"

#include "program/mirror/kestrove_dlg.h"

namespace kestrove {

CKestroveApp::CKestroveApp() {
    m_dwRestartManagerSupportFlags = kRestartSupportRestart;
}

bool CKestroveApp::InitInstance() {
    Application::InitInstance();

    CKestroveDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // A dialog whose window was never made leaves the reference behind.
    m_pMainWnd = nullptr;
    return false;
}

} // namespace kestrove
