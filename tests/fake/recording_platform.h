// A Platform for unit tests: it plays a scripted system (monitors, display
// devices, window sizes, a version file) and records every call made to it,
// in order, as readable text.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrove::testing {

struct FakeMonitor {
    Rect rect;
    Rect work;
    std::uint32_t flags = 0;
    std::u16string device;
    bool infoFails = false; // GetMonitorInfoW fails for it
};

class RecordingPlatform : public Platform {
public:
    RecordingPlatform();
    ~RecordingPlatform() override;

    // Scripted system ----------------------------------------------------------
    std::vector<FakeMonitor> monitors;
    std::vector<DisplayDevice> devices;
    Rect client{0, 0, 640, 400};   // the dialog's client area
    int frameWidth = 0;            // what calcWindowRect adds on each side
    int maxClientHeight = 1 << 20; // the system's limit on the window
    bool magnifierCreated = true;  // createMagnifierWindow gives a window
    bool dialogCreated = true;     // createDialog gives a window
    bool iconic = false;
    std::u16string modulePath = u"/opt/kestrove/Kestrove";
    std::vector<unsigned char> versionFile; // empty: no version information
    std::map<int, std::u16string> strings;  // loadString; empty map: res::kStrings
    bool useResourceStrings = true;
    bool systemMenu = true;
    bool helpStarts = false;
    // Runs inside runModalLoop, as the user's actions during the modal run.
    std::function<void(DialogEvents&)> duringModal;

    // What happened --------------------------------------------------------------
    std::vector<std::string> calls;
    std::map<int, std::u16string> dialogItems;
    std::u16string title;
    std::vector<std::u16string> messageBoxes;
    std::vector<std::u16string> menuEntries;
    bool timerRunning = false;

    // Calls recorded since the last clear, then cleared.
    std::vector<std::string> takeCalls();

    // Platform -----------------------------------------------------------------------
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
    Rect calcWindowRect(WindowHandle hwnd, const Rect& clientRect) override;
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

    static constexpr WindowHandle kDialog = 0x100;
    static constexpr WindowHandle kMagnifier = 0x200;

private:
    void record(std::string call);
    std::vector<DialogEvents*> m_dialogs; // open dialogs, innermost last
};

std::string Describe(const Rect& rc);

} // namespace kestrove::testing
