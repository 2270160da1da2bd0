// The seam on the real Win32 API: each operation is the Windows call it
// stands for. Dialogs come from the module's DIALOGEX templates and run in
// our own modal loop, so the program's PreTranslateMessage sees every key.
#pragma once

#include "platform/platform.h"
#include "platform/win32/magnification_api.h"

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrove::win32 {

class Win32Platform final : public Platform {
public:
    Win32Platform(HINSTANCE instance, std::u16string commandLineArguments);
    ~Win32Platform() override;

    void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) override;
    bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) override;
    bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) override;

    bool magInitialize() override;
    WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) override;
    bool magSetWindowSource(WindowHandle magnifier, const Rect& source) override;
    bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) override;

    bool isWindow(WindowHandle hwnd) override;
    bool isIconic(WindowHandle hwnd) override;
    Rect getClientRect(WindowHandle hwnd) override;
    Rect calcWindowRect(WindowHandle hwnd, const Rect& client) override;
    void setWindowSize(WindowHandle hwnd, int width, int height) override;
    void moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool repaint) override;
    void invalidateRect(WindowHandle hwnd, bool erase) override;
    void setWindowText(WindowHandle hwnd, std::u16string_view text) override;
    void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) override;
    std::u16string getDlgItemText(WindowHandle dialog, int id) override;
    void setIcon(WindowHandle hwnd, int which, IconHandle icon) override;
    TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) override;
    void killTimer(WindowHandle hwnd, TimerId id) override;

    WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) override;
    void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) override;
    void endDialog(WindowHandle hwnd) override;
    void hideWindow(WindowHandle hwnd) override;
    void destroyWindow(WindowHandle hwnd) override;
    void defaultProcessing(WindowHandle hwnd) override;
    bool isDialogMessage(WindowHandle hwnd, Message& msg) override;

    IconHandle loadIcon(int id) override;
    AccelHandle loadAccelerators(int id) override;
    std::u16string loadString(int id) override;
    bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) override;
    MenuHandle getSystemMenu(WindowHandle hwnd) override;
    void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                    std::u16string_view text) override;

    DeviceContextHandle beginPaint(WindowHandle hwnd) override;
    void endPaint(WindowHandle hwnd, DeviceContextHandle dc) override;
    void sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) override;
    int getSystemMetrics(int index) override;
    void drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) override;

    std::uint32_t getModuleFileName(char16_t* buffer, std::uint32_t size) override;
    int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t type) override;
    bool winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                 std::uintptr_t data) override;
    void initCommonControls(std::uint32_t classes) override;
    bool registerApplicationRestart(std::u16string_view commandLine, std::uint32_t flags) override;
    std::u16string commandLineArguments() override;
    bool createGuid(Guid& guid) override;

    std::uint32_t getFileVersionInfoSize(const char16_t* path) override;
    bool getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) override;
    bool verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                       std::uint32_t* length) override;

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
    std::u16string m_commandLineArguments;
    MagnificationApi m_magnification;
    std::vector<Dispatch> m_dispatching;
    // Set while DefDlgProcW runs for a handler's default processing: the
    // dialog procedure then declines that one message.
    bool m_bDefaultPending = false;
    Dispatch m_defaultPending{};
    std::set<HWND> m_endedDialogs;
    std::vector<std::pair<HWND, PAINTSTRUCT>> m_paints;
};

} // namespace kestrove::win32
