// The seam between the program and the system it runs on. Every operation
// stands for one Windows call (named in its comment) so that the Win32
// implementation is a direct mapping; the X11 implementation and the
// recording fake for unit tests provide the same results.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrove {

// What a platform reports to a dialog window it created. The dialog base
// implements it; the platform calls it from its window procedure / event loop.
class DialogEvents {
public:
    virtual void onCreated(WindowHandle hwnd) = 0;        // handle known, before WM_INITDIALOG
    virtual bool onInitDialog() = 0;                      // WM_INITDIALOG
    virtual bool onPreTranslateMessage(Message& msg) = 0; // true: consumed
    virtual void onCommand(std::uint32_t id) = 0;         // WM_COMMAND (menu, accelerator, button)
    virtual void onSysCommand(std::uint32_t id, std::intptr_t lParam) = 0; // WM_SYSCOMMAND
    virtual void onTimer(TimerId id) = 0;                                  // WM_TIMER
    virtual bool onPaint() = 0;               // WM_PAINT; false: default painting
    virtual IconHandle onQueryDragIcon() = 0; // WM_QUERYDRAGICON
    virtual void onHelp() = 0;                // WM_HELP (F1 without modifiers)
    virtual void onNcDestroy() = 0;           // WM_NCDESTROY

protected:
    ~DialogEvents() = default;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Monitors ------------------------------------------------------------
    // EnumDisplayMonitors(NULL, NULL, proc, data)
    virtual void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) = 0;
    // GetMonitorInfoW
    virtual bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) = 0;
    // EnumDisplayDevicesW(NULL, index, device, 0)
    virtual bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) = 0;

    // Magnifier -------------------------------------------------------------
    virtual bool magInitialize() = 0; // MagInitialize
    // CreateWindowExW(0, WC_MAGNIFIER, "MagnifierWindow", 0x50000001, area, parent)
    virtual WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) = 0;
    virtual bool magSetWindowSource(WindowHandle magnifier, const Rect& source) = 0;
    virtual bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) = 0;

    // Windows ---------------------------------------------------------------
    virtual bool isWindow(WindowHandle hwnd) = 0;                           // IsWindow
    virtual bool isIconic(WindowHandle hwnd) = 0;                           // IsIconic
    virtual Rect getClientRect(WindowHandle hwnd) = 0;                      // GetClientRect
    virtual Rect calcWindowRect(WindowHandle hwnd, const Rect& client) = 0; // AdjustWindowRectEx
    // SetWindowPos(hwnd, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER)
    virtual void setWindowSize(WindowHandle hwnd, int width, int height) = 0;
    virtual void moveWindow(WindowHandle hwnd, int x, int y, int width, int height,
                            bool repaint) = 0; // MoveWindow
    virtual void invalidateRect(WindowHandle hwnd,
                                bool erase) = 0; // InvalidateRect(hwnd, NULL, erase)
    virtual void setWindowText(WindowHandle hwnd, std::u16string_view text) = 0; // SetWindowTextW
    virtual void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) = 0;
    virtual std::u16string getDlgItemText(WindowHandle dialog, int id) = 0;
    virtual void setIcon(WindowHandle hwnd, int which, IconHandle icon) = 0; // WM_SETICON
    virtual TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) = 0;
    virtual void killTimer(WindowHandle hwnd, TimerId id) = 0;

    // Dialogs and the modal loop -------------------------------------------
    // CreateDialogIndirectParamW from the template resource; runs WM_INITDIALOG
    // through `events` and shows the window when its template says visible.
    // Returns 0 when the template is missing or the window cannot be made.
    virtual WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) = 0;
    // Runs the modal loop with the owner disabled, offering each message to
    // events.onPreTranslateMessage first; returns once endDialog was called.
    virtual void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) = 0;
    virtual void endDialog(WindowHandle hwnd) = 0;     // EndDialog (the code stays with the caller)
    virtual void hideWindow(WindowHandle hwnd) = 0;    // ShowWindow(SW_HIDE)
    virtual void destroyWindow(WindowHandle hwnd) = 0; // DestroyWindow
    // DefWindowProcW for the message now being dispatched to hwnd.
    virtual void defaultProcessing(WindowHandle hwnd) = 0;
    // IsDialogMessageW: the dialog's own keyboard handling (Return: OK, Escape: Cancel).
    virtual bool isDialogMessage(WindowHandle hwnd, Message& msg) = 0;

    // Resources, keyboard, menus -------------------------------------------
    virtual IconHandle loadIcon(int id) = 0;          // LoadIconW
    virtual AccelHandle loadAccelerators(int id) = 0; // LoadAcceleratorsW
    virtual std::u16string loadString(int id) = 0;    // LoadStringW; empty when missing
    virtual bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) = 0;
    virtual MenuHandle getSystemMenu(WindowHandle hwnd) = 0; // GetSystemMenu(FALSE)
    virtual void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                            std::u16string_view text) = 0; // AppendMenuW

    // Painting the minimised window ----------------------------------------
    virtual DeviceContextHandle beginPaint(WindowHandle hwnd) = 0;
    virtual void endPaint(WindowHandle hwnd, DeviceContextHandle dc) = 0;
    virtual void sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) = 0;
    virtual int getSystemMetrics(int index) = 0;
    virtual void drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) = 0;

    // Process, shell, help ---------------------------------------------------
    // GetModuleFileNameW(NULL, buffer, size): terminated, cut to fit.
    virtual std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) = 0;
    virtual int messageBox(WindowHandle owner, std::u16string_view text,
                           std::u16string_view caption, std::uint32_t type) = 0;
    virtual bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                         std::uintptr_t data) = 0;
    virtual void initCommonControls(std::uint32_t classes) = 0; // InitCommonControlsEx
    // RegisterApplicationRestart, looked up at run time; false when unavailable.
    virtual bool registerApplicationRestart(std::u16string_view commandLine,
                                            std::uint32_t flags) = 0;
    virtual std::u16string commandLineArguments() = 0; // the command line after the program name
    virtual bool createGuid(Guid& guid) = 0;           // CoCreateGuid

    // Version information -----------------------------------------------------
    virtual std::uint32_t getFileVersionInfoSize(const char16_t* path) = 0;
    virtual bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) = 0;
    virtual bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                               std::uint32_t* length) = 0;
};

// The platform the running process uses; set once by the entry point (or a test).
Platform& ThePlatform();
void SetThePlatform(Platform* platform);

} // namespace kestrove
