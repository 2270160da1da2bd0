#include "program/framework/dialog.h"

#include "program/framework/application.h"
#include "res/framework_ids.h"
#include "res/resource_lookup.h"

#include <exception>
#include <new>

namespace kestrove {

void DDX_Text(DataExchange& dx, int controlId, std::u16string& value) {
    const WindowHandle hwnd = dx.dialog.GetSafeHwnd();
    if (dx.m_bSaveAndValidate) {
        value = ThePlatform().dialogs.getDlgItemText(hwnd, controlId);
    } else {
        ThePlatform().dialogs.setDlgItemText(hwnd, controlId, value);
    }
}

Dialog::Dialog(int templateId, Dialog* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

Dialog::~Dialog() = default;

WindowHandle Dialog::OwnerWindow() const {
    if (m_pParentWnd != nullptr) {
        return m_pParentWnd->GetSafeHwnd();
    }
    // Without a parent the application's main window owns the dialog; while
    // the main window itself is being created it has no window yet.
    const Application* app = Application::Current();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->GetSafeHwnd() : 0;
}

std::intptr_t Dialog::DoModal() {
    const WindowHandle owner = OwnerWindow();
    m_nModalResult = -1;
    m_bCreationFailed = false;
    const WindowHandle hwnd = platform().dialogs.createDialog(m_nIDTemplate, owner, *this);
    if (hwnd != 0 && !m_bCreationFailed) {
        platform().dialogs.runModalLoop(m_hWnd, owner, *this);
        platform().dialogs.hideWindow(m_hWnd);
    } else {
        m_nModalResult = -1;
        if (hwnd == 0) {
            m_hWnd = 0; // no window was left to destroy
        }
    }
    // Every modal run ends here, also a failed one: what the dialog set up
    // before failing is released by its own DestroyWindow.
    DestroyWindow();
    return m_nModalResult;
}

bool Dialog::DestroyWindow() {
    if (m_hWnd == 0) {
        return false;
    }
    platform().dialogs.destroyWindow(m_hWnd); // ends with deliverNcDestroy, which clears m_hWnd
    m_hWnd = 0;
    return true;
}

void Dialog::EndDialog(int result) {
    m_nModalResult = result;
    platform().dialogs.endDialog(m_hWnd);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

bool Dialog::PreTranslateMessage(Message& msg) {
    return platform().dialogs.isDialogMessage(m_hWnd, msg);
}

void Dialog::DoDataExchange(DataExchange&) {}

bool Dialog::UpdateData(bool saveAndValidate) {
    DataExchange dx{*this, saveAndValidate};
    DoDataExchange(dx);
    return true;
}

bool Dialog::OnCommand(std::uint32_t id) {
    switch (id) {
    case win::IDOK:
        OnOK();
        return true;
    case win::IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void Dialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(win::IDOK);
    }
}

void Dialog::OnCancel() {
    EndDialog(win::IDCANCEL);
}

void Dialog::OnSysCommand(std::uint32_t, std::intptr_t) {
    Default();
}

void Dialog::OnTimer(TimerId) {
    Default();
}

void Dialog::OnPaint() {
    Default();
}

IconHandle Dialog::OnQueryDragIcon() {
    return 0;
}

void Dialog::Default() {
    platform().dialogs.defaultProcessing(m_hWnd);
}

// Exceptions never leave a message handler: they are reported the way the
// framework reports them and the modal run goes on.
template <typename Handler> void Dialog::Guarded(Dispatch kind, Handler&& handler) {
    try {
        handler();
    } catch (const UserException&) {
    } catch (const std::bad_alloc&) {
        if (kind == Dispatch::Creation) {
            m_bCreationFailed = true;
        } else if (kind != Dispatch::Painting && Application::Current() != nullptr) {
            Application::Current()->ShowMessage(res::FindString(IDS_FRAMEWORK_NO_MEMORY),
                                                win::MB_OK | win::MB_ICONEXCLAMATION |
                                                    win::MB_SYSTEMMODAL);
        }
    } catch (const std::exception&) {
        if (kind == Dispatch::Creation) {
            m_bCreationFailed = true;
        } else if (kind != Dispatch::Painting && Application::Current() != nullptr) {
            // Standard exceptions carry no user-facing text of their own.
            const int fallback = kind == Dispatch::MenuCommand ? IDS_FRAMEWORK_COMMAND_FAILED
                                                               : IDS_FRAMEWORK_INTERNAL_ERROR;
            Application::Current()->ShowMessage(res::FindString(fallback),
                                                win::MB_OK | win::MB_ICONSTOP);
        }
    }
}

void Dialog::deliverCreated(WindowHandle hwnd) {
    m_hWnd = hwnd;
}

bool Dialog::deliverInitDialog() {
    bool focusDefault = true;
    Guarded(Dispatch::Creation, [&] { focusDefault = OnInitDialog(); });
    return focusDefault;
}

bool Dialog::deliverPreTranslateMessage(Message& msg) {
    bool consumed = false;
    Guarded(Dispatch::Other, [&] { consumed = PreTranslateMessage(msg); });
    return consumed;
}

void Dialog::deliverCommand(std::uint32_t id) {
    Guarded(Dispatch::MenuCommand, [&] {
        if (!OnCommand(id) && Application::Current() != nullptr) {
            Application::Current()->OnCmdMsg(id);
        }
    });
}

void Dialog::deliverSysCommand(std::uint32_t id, std::intptr_t lParam) {
    Guarded(Dispatch::Other, [&] { OnSysCommand(id, lParam); });
}

void Dialog::deliverTimer(TimerId id) {
    Guarded(Dispatch::Other, [&] { OnTimer(id); });
}

bool Dialog::deliverPaint() {
    Guarded(Dispatch::Painting, [&] { OnPaint(); });
    return true;
}

IconHandle Dialog::deliverQueryDragIcon() {
    IconHandle icon = 0;
    Guarded(Dispatch::Other, [&] { icon = OnQueryDragIcon(); });
    return icon;
}

void Dialog::deliverHelp() {
    // The dialog answers the help-context request with its template id.
    Guarded(Dispatch::Other, [&] {
        if (Application::Current() != nullptr) {
            Application::Current()->OnHelp(HelpContextOf(*this));
        }
    });
}

std::uint32_t HelpContextOf(const Dialog& dialog) {
    constexpr std::uint32_t kDialogHelpBase = 0x20000;
    return kDialogHelpBase + static_cast<std::uint32_t>(dialog.templateId());
}

void Dialog::deliverNotice(std::u16string_view text) {
    Guarded(Dispatch::Other, [&] {
        if (Application::Current() != nullptr) {
            Application::Current()->ShowMessage(text, win::MB_OK | win::MB_ICONEXCLAMATION);
        }
    });
}

void Dialog::deliverNcDestroy() {
    Application* app = Application::Current();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
    }
    m_hWnd = 0;
}

} // namespace kestrove
