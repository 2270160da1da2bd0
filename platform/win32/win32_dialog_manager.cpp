#include "platform/win32/win32_dialog_manager.h"

#include "platform/win32/handles.h"

#include <commctrl.h>

namespace kestrove::win32 {

namespace {

Win32DialogManager* s_pManager = nullptr;

DialogEvents* EventsOf(HWND hwnd) {
    return reinterpret_cast<DialogEvents*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

bool ModifierHeld() {
    return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

// A request to close the application for a restart is answered with
// whether the application supports restarting; every other request with TRUE.
LRESULT QueryEndSessionAnswer(LPARAM lParam, bool restartSupported) {
    if ((static_cast<DWORD>(lParam) & ENDSESSION_CLOSEAPP) == 0) {
        return TRUE;
    }
    return restartSupported ? TRUE : FALSE;
}

MSG& NativeMessage(Message& msg, MSG& scratch) {
    if (msg.native != nullptr) {
        // The loop hands out its own MSG; the Win32 calls take it non-const.
        return *static_cast<MSG*>(const_cast<void*>(msg.native));
    }
    scratch = MSG{Hwnd(msg.hwnd), msg.message, msg.wParam, msg.lParam, 0, {}};
    return scratch;
}

} // namespace

Win32DialogManager::Win32DialogManager(HINSTANCE instance, const Win32Shell& shell)
    : m_hInstance(instance), m_shell(shell) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

WindowHandle Win32DialogManager::createDialog(int templateId, WindowHandle owner,
                                              DialogEvents& events) {
    s_pManager = this;
    // WM_INITDIALOG carries `events`; the dialog procedure keeps it with the
    // window, tells the events the handle and then runs their initialisation.
    HWND hwnd = CreateDialogParamW(m_hInstance, MAKEINTRESOURCEW(templateId), Hwnd(owner),
                                   DialogProc, reinterpret_cast<LPARAM>(&events));
    return ToSeam(hwnd);
}

INT_PTR CALLBACK Win32DialogManager::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    return s_pManager != nullptr ? s_pManager->handleDialogMessage(hwnd, message, wParam, lParam)
                                 : FALSE;
}

INT_PTR Win32DialogManager::handleDialogMessage(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (m_bDefaultPending && m_defaultPending.hwnd == hwnd && m_defaultPending.message == message &&
        m_defaultPending.wParam == wParam && m_defaultPending.lParam == lParam) {
        // DefDlgProcW asks the dialog procedure first: decline, so that the
        // dialog's default processing runs.
        m_bDefaultPending = false;
        return FALSE;
    }
    if (message == WM_INITDIALOG) {
        auto* events = reinterpret_cast<DialogEvents*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        events->deliverCreated(ToSeam(hwnd));
    }
    DialogEvents* events = EventsOf(hwnd);
    if (events == nullptr) {
        return FALSE;
    }
    m_dispatching.push_back({hwnd, message, wParam, lParam});
    const INT_PTR result = forwardToEvents(*events, hwnd, message, wParam, lParam);
    m_dispatching.pop_back();
    return result;
}

INT_PTR Win32DialogManager::forwardToEvents(DialogEvents& events, HWND hwnd, UINT message,
                                            WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return events.deliverInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
        // Menus (0), accelerators (1) and button clicks (BN_CLICKED, 0) are
        // commands; other control notifications are not.
        if (HIWORD(wParam) > 1) {
            return FALSE;
        }
        events.deliverCommand(LOWORD(wParam));
        return TRUE;
    case WM_SYSCOMMAND:
        events.deliverSysCommand(static_cast<std::uint32_t>(wParam), lParam);
        return TRUE;
    case WM_TIMER:
        events.deliverTimer(wParam);
        return TRUE;
    case WM_PAINT:
        return events.deliverPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        // One of the messages whose dialog-procedure result is the answer.
        return static_cast<INT_PTR>(events.deliverQueryDragIcon());
    case WM_HELP:
        if (!ModifierHeld()) {
            events.deliverHelp();
        }
        return TRUE;
    case WM_QUERYENDSESSION:
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT,
                          QueryEndSessionAnswer(lParam, m_shell.restartSupported()));
        return TRUE;
    case WM_NCDESTROY:
        events.deliverNcDestroy();
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        m_endedDialogs.erase(hwnd);
        // The dialog manager frees its own data (the template's font) here.
        return FALSE;
    default:
        return FALSE;
    }
}

void Win32DialogManager::defaultProcessing(WindowHandle hwnd) {
    for (auto it = m_dispatching.rbegin(); it != m_dispatching.rend(); ++it) {
        if (it->hwnd != Hwnd(hwnd)) {
            continue;
        }
        const Dispatch current = *it;
        const bool outerPending = m_bDefaultPending;
        const Dispatch outer = m_defaultPending;
        m_bDefaultPending = true;
        m_defaultPending = current;
        // Returns only when the default is done: for SC_SIZE, when the
        // system's sizing loop ends.
        DefDlgProcW(current.hwnd, current.message, current.wParam, current.lParam);
        m_bDefaultPending = outerPending;
        m_defaultPending = outer;
        return;
    }
}

void Win32DialogManager::runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) {
    HWND dialog = Hwnd(hwnd);
    HWND ownerWindow = Hwnd(owner);
    const bool disableOwner = ownerWindow != nullptr && IsWindowEnabled(ownerWindow) != FALSE;
    if (disableOwner) {
        EnableWindow(ownerWindow, FALSE);
    }
    // A template without the visible style still shows once its run begins.
    if (!m_endedDialogs.contains(dialog) && IsWindowVisible(dialog) == FALSE) {
        ShowWindow(dialog, SW_SHOWNORMAL);
    }

    MSG msg{};
    while (!m_endedDialogs.contains(dialog) && IsWindow(dialog) != FALSE) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            // WM_QUIT ends the run; the loop that comes next needs it too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.hwnd == dialog || IsChild(dialog, msg.hwnd) != FALSE) {
            Message message{ToSeam(msg.hwnd), msg.message, msg.wParam, msg.lParam, &msg};
            if (events.deliverPreTranslateMessage(message)) {
                continue;
            }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    m_endedDialogs.erase(dialog);

    if (disableOwner) {
        EnableWindow(ownerWindow, TRUE);
        if (GetActiveWindow() == dialog) {
            SetActiveWindow(ownerWindow);
        }
    }
}

void Win32DialogManager::endDialog(WindowHandle hwnd) {
    m_endedDialogs.insert(Hwnd(hwnd));
    // Wakes the loop if it is waiting for a message.
    PostMessageW(Hwnd(hwnd), WM_NULL, 0, 0);
}

bool Win32DialogManager::isDialogMessage(WindowHandle hwnd, Message& msg) {
    MSG scratch;
    return IsDialogMessageW(Hwnd(hwnd), &NativeMessage(msg, scratch)) != FALSE;
}

bool Win32DialogManager::translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) {
    if (accel == 0) {
        return false;
    }
    MSG scratch;
    return TranslateAcceleratorW(Hwnd(hwnd), FromSeam<HACCEL>(accel),
                                 &NativeMessage(msg, scratch)) != 0;
}

std::u16string Win32DialogManager::getDlgItemText(WindowHandle dialog, int id) {
    HWND control = GetDlgItem(Hwnd(dialog), id);
    if (control == nullptr) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, u'\0');
    const int length = GetWindowTextW(control, Wide(text.data()), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

void Win32DialogManager::appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                                    std::u16string_view text) {
    const std::wstring item = WideString(text);
    AppendMenuW(FromSeam<HMENU>(menu), flags, id,
                (flags & MF_SEPARATOR) != 0 ? nullptr : item.c_str());
}

} // namespace kestrove::win32
