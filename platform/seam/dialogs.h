// Dialogs and the modal loop, with what belongs to a running dialog: its
// controls' text, the keyboard, the system menu, timers and message boxes.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrove {

// What a platform delivers to a dialog window it created, from its window
// procedure or event loop. The dialog base implements it and hands each
// delivery to the program's handler (deliverCommand -> OnCommand, ...).
class DialogEvents {
public:
    virtual void deliverCreated(WindowHandle hwnd) = 0;        // handle known, before WM_INITDIALOG
    virtual bool deliverInitDialog() = 0;                      // WM_INITDIALOG
    virtual bool deliverPreTranslateMessage(Message& msg) = 0; // true: consumed
    virtual void deliverCommand(std::uint32_t id) = 0; // WM_COMMAND (menu, accelerator, button)
    virtual void deliverSysCommand(std::uint32_t id, std::intptr_t lParam) = 0; // WM_SYSCOMMAND
    virtual void deliverTimer(TimerId id) = 0;                                  // WM_TIMER
    virtual bool deliverPaint() = 0;               // WM_PAINT; false: default painting
    virtual IconHandle deliverQueryDragIcon() = 0; // WM_QUERYDRAGICON
    virtual void deliverHelp() = 0;                // WM_HELP (F1 without modifiers)
    virtual void deliverNcDestroy() = 0;           // WM_NCDESTROY
    // The platform tells the user something of its own (the desktop cannot
    // be shown), in a box the program's framework captions.
    virtual void deliverNotice(std::u16string_view text) = 0;

protected:
    ~DialogEvents() = default;
};

class Dialogs {
public:
    // CreateDialogIndirectParamW from the template resource; runs WM_INITDIALOG
    // through `events` and shows the window when its template says visible.
    // Returns 0 when the template is missing or the window cannot be made.
    virtual WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) = 0;
    // Runs the modal loop with the owner disabled, offering each message to
    // events.deliverPreTranslateMessage first; returns once endDialog was called.
    virtual void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) = 0;
    virtual void endDialog(WindowHandle hwnd) = 0;     // EndDialog (the code stays with the caller)
    virtual void hideWindow(WindowHandle hwnd) = 0;    // ShowWindow(SW_HIDE)
    virtual void destroyWindow(WindowHandle hwnd) = 0; // DestroyWindow
    // DefWindowProcW for the message now being dispatched to hwnd.
    virtual void defaultProcessing(WindowHandle hwnd) = 0;
    // IsDialogMessageW: the dialog's own keyboard handling (Return: OK, Escape: Cancel).
    virtual bool isDialogMessage(WindowHandle hwnd, Message& msg) = 0;
    virtual void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) = 0;
    virtual std::u16string getDlgItemText(WindowHandle dialog, int id) = 0;

    virtual bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) = 0;
    virtual MenuHandle getSystemMenu(WindowHandle hwnd) = 0; // GetSystemMenu(FALSE)
    virtual void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                            std::u16string_view text) = 0; // AppendMenuW
    virtual TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) = 0;
    virtual void killTimer(WindowHandle hwnd, TimerId id) = 0;
    virtual int messageBox(WindowHandle owner, std::u16string_view text,
                           std::u16string_view caption, std::uint32_t type) = 0;

protected:
    ~Dialogs() = default;
};

} // namespace kestrove
