// Dialogs from the module's DIALOGEX templates, their dialog procedure and
// our own modal loop, so the program's PreTranslateMessage sees every key;
// with them the controls' text, accelerators, the system menu, timers and
// message boxes.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_shell.h"

#include <windows.h>

#include <set>
#include <vector>

namespace kestrove::win32 {

class Win32DialogManager final : public Dialogs {
public:
    // Registers the common controls' window classes (ICC_WIN95_CLASSES) that
    // the dialog templates may use, before any dialog is made.
    Win32DialogManager(HINSTANCE instance, const Win32Shell& shell);

    WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) override;
    void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) override;
    void endDialog(WindowHandle hwnd) override;
    void hideWindow(WindowHandle hwnd) override { ShowWindow(Hwnd(hwnd), SW_HIDE); }
    void destroyWindow(WindowHandle hwnd) override { DestroyWindow(Hwnd(hwnd)); }
    void defaultProcessing(WindowHandle hwnd) override;
    bool isDialogMessage(WindowHandle hwnd, Message& msg) override;
    void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) override {
        SetDlgItemTextW(Hwnd(dialog), id, WideString(text).c_str());
    }
    std::u16string getDlgItemText(WindowHandle dialog, int id) override;
    bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) override;
    MenuHandle getSystemMenu(WindowHandle hwnd) override {
        return ToSeam(GetSystemMenu(Hwnd(hwnd), FALSE));
    }
    void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                    std::u16string_view text) override;
    TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) override {
        return SetTimer(Hwnd(hwnd), id, milliseconds, nullptr);
    }
    void killTimer(WindowHandle hwnd, TimerId id) override { KillTimer(Hwnd(hwnd), id); }
    int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t type) override {
        return MessageBoxW(Hwnd(owner), WideString(text).c_str(), WideString(caption).c_str(),
                           type);
    }

private:
    // A message being handled by a dialog's handler, for defaultProcessing.
    struct Dispatch {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handleDialogMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR forwardToEvents(DialogEvents& events, HWND hwnd, UINT message, WPARAM wParam,
                            LPARAM lParam);

    HINSTANCE m_hInstance;
    const Win32Shell& m_shell;
    std::vector<Dispatch> m_dispatching;
    // Set while DefDlgProcW runs for a handler's default processing: the
    // dialog procedure then declines that one message.
    bool m_bDefaultPending = false;
    Dispatch m_defaultPending{};
    std::set<HWND> m_endedDialogs;
};

} // namespace kestrove::win32
