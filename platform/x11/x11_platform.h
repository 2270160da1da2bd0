// The platform on an X server: dialogs as top-level windows with a
// hand-made modal loop, timers on the connection's wait, keyboard and menu
// handling as the Windows dialog manager does it, monitors and the
// magnifier delegated to their own classes.
#pragma once

#include "platform/platform.h"
#include "platform/x11/x11_atoms.h"
#include "platform/x11/x11_dialog_window.h"
#include "platform/x11/x11_font.h"
#include "platform/x11/x11_magnifier.h"
#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_popup_menu.h"
#include "platform/x11/x11_timers.h"

#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrove::x11 {

class X11Platform final : public Platform {
public:
    // `arguments`: the command line after the program name.
    X11Platform(Display* display, std::vector<std::string> arguments);
    ~X11Platform() override;
    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

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
    // The message being dispatched to a window, for defaultProcessing.
    enum class Dispatch { Paint, SysCommand, Timer, Key };
    struct Dispatching {
        WindowHandle hwnd;
        Dispatch kind;
        std::uint32_t id;
    };
    class DispatchScope;

    // Throws std::runtime_error when no font can be opened.
    const DialogFont& fontFor(std::u16string_view face, int pointSize);
    WindowHandle createDialogWindow(const res::DialogTemplate& dialogTemplate, WindowHandle owner,
                                    DialogEvents& events);
    DialogWindow* dialog(WindowHandle hwnd) const;
    X11Magnifier* magnifier(WindowHandle hwnd) const;
    // The dialog an event's window belongs to: itself, a control, or the
    // mirror's magnifier child.
    DialogWindow* dialogOfEventWindow(Window window) const;

    // One step of the event loop: due timers and settled resizes, then one
    // event, or a wait on the connection until the next deadline.
    void pumpOnce();
    void waitForConnection(Clock::time_point deadline);
    std::optional<Clock::time_point> nextDeadline() const;
    void fireDueTimers();
    void processEvent(XEvent& event);
    void handleConfigure(DialogWindow& dialog, const XConfigureEvent& event, bool requested);
    void handleKey(DialogWindow& dialog, XKeyEvent& key);
    void handleButton(DialogWindow& dialog, const XButtonEvent& button);
    // What DefWindowProc does with a key no handler took.
    void defaultKey(WindowHandle hwnd, const Message& msg);
    void sysCommand(WindowHandle hwnd, std::uint32_t command);
    void paint(WindowHandle hwnd);
    void openSystemMenu(WindowHandle hwnd, int rootX, int rootY);
    void openSystemMenuAtWindow(WindowHandle hwnd);
    void menuEvent(const XEvent& event);
    void focus(WindowHandle hwnd);
    void show(DialogWindow& dialog);

    Display* m_display;
    int m_screen;
    Window m_root;
    Atoms m_atoms;
    X11Monitors m_monitors;
    std::vector<std::string> m_arguments;
    std::map<std::pair<std::u16string, int>, std::unique_ptr<DialogFont>> m_fonts;
    std::map<Window, std::unique_ptr<DialogWindow>> m_dialogs;
    std::map<Window, std::unique_ptr<X11Magnifier>> m_magnifiers;
    std::map<Window, Window> m_magnifierParents;
    TimerQueue m_timers;
    std::unique_ptr<PopupMenu> m_menu;
    std::vector<Dispatching> m_dispatching;
    Window m_pressedButton = 0;
};

} // namespace kestrove::x11
