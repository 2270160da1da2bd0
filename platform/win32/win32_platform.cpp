#include "platform/win32/win32_platform.h"

#include "platform/win32/handles.h"

#include <commctrl.h>
#include <objbase.h>
#include <winver.h>

#include <cstring>

namespace kestrove::win32 {

namespace {

static_assert(sizeof(MONITORINFOEXW) == sizeof(MonitorInfoEx));
static_assert(sizeof(DISPLAY_DEVICEW) == sizeof(DisplayDevice));
static_assert(sizeof(RECT) == sizeof(Rect));

Rect ToRect(const RECT& rc) {
    return {static_cast<std::int32_t>(rc.left), static_cast<std::int32_t>(rc.top),
            static_cast<std::int32_t>(rc.right), static_cast<std::int32_t>(rc.bottom)};
}

RECT ToRECT(const Rect& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

std::wstring WideString(std::u16string_view text) {
    return {text.begin(), text.end()};
}

struct MonitorEnumContext {
    MonitorEnumProcType proc;
    std::intptr_t data;
};

BOOL CALLBACK MonitorEnumThunk(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data) {
    const auto* context = reinterpret_cast<const MonitorEnumContext*>(data);
    Rect rc = rect != nullptr ? ToRect(*rect) : Rect{};
    return context->proc(ToSeam(monitor), ToSeam(dc), rect != nullptr ? &rc : nullptr,
                         context->data) != 0;
}

} // namespace

Win32Platform::Win32Platform(HINSTANCE instance, std::u16string commandLineArguments)
    : m_hInstance(instance), m_commandLineArguments(std::move(commandLineArguments)) {}

Win32Platform::~Win32Platform() = default;

// Monitors ------------------------------------------------------------------

void Win32Platform::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    MonitorEnumContext context{proc, data};
    EnumDisplayMonitors(nullptr, nullptr, MonitorEnumThunk, reinterpret_cast<LPARAM>(&context));
}

bool Win32Platform::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    MONITORINFOEXW native;
    std::memcpy(&native, &info, sizeof native);
    const bool ok = GetMonitorInfoW(FromSeam<HMONITOR>(monitor), &native) != FALSE;
    // The seam's record has the native layout (asserted above).
    std::memcpy(static_cast<void*>(&info), &native, sizeof native);
    return ok;
}

bool Win32Platform::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    DISPLAY_DEVICEW native;
    std::memcpy(&native, &device, sizeof native);
    const bool ok = EnumDisplayDevicesW(nullptr, index, &native, 0) != FALSE;
    std::memcpy(static_cast<void*>(&device), &native, sizeof native);
    return ok;
}

// Magnifier -------------------------------------------------------------------

bool Win32Platform::magInitialize() {
    return m_magnification.initialize();
}

WindowHandle Win32Platform::createMagnifierWindow(WindowHandle parent, const Rect& area) {
    constexpr DWORD kMagnifierStyle = WS_CHILD | WS_VISIBLE | 0x0001; // MS_SHOWMAGNIFIEDCURSOR
    HWND child =
        CreateWindowExW(0, L"Magnifier", L"MagnifierWindow", kMagnifierStyle, area.left, area.top,
                        area.right, area.bottom, Hwnd(parent), nullptr, m_hInstance, nullptr);
    if (child == nullptr) {
        // Without the Magnification API the class does not exist. A blank
        // child keeps the window's behaviour (fit, refresh) and shows that
        // there is no picture.
        child = CreateWindowExW(
            0, L"Static", L"MagnifierWindow", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, area.left,
            area.top, area.right, area.bottom, Hwnd(parent), nullptr, m_hInstance, nullptr);
    }
    return ToSeam(child);
}

bool Win32Platform::magSetWindowSource(WindowHandle magnifier, const Rect& source) {
    return m_magnification.setWindowSource(Hwnd(magnifier), ToRECT(source));
}

bool Win32Platform::magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) {
    return m_magnification.setWindowTransform(Hwnd(magnifier), transform.v);
}

// Windows -----------------------------------------------------------------------

bool Win32Platform::isWindow(WindowHandle hwnd) {
    return hwnd != 0 && IsWindow(Hwnd(hwnd)) != FALSE;
}

bool Win32Platform::isIconic(WindowHandle hwnd) {
    return IsIconic(Hwnd(hwnd)) != FALSE;
}

Rect Win32Platform::getClientRect(WindowHandle hwnd) {
    RECT rc{};
    GetClientRect(Hwnd(hwnd), &rc);
    return ToRect(rc);
}

Rect Win32Platform::calcWindowRect(WindowHandle hwnd, const Rect& client) {
    RECT rc = ToRECT(client);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(Hwnd(hwnd), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(Hwnd(hwnd), GWL_EXSTYLE));
    AdjustWindowRectEx(&rc, style, FALSE, exStyle & ~static_cast<DWORD>(WS_EX_CLIENTEDGE));
    return ToRect(rc);
}

void Win32Platform::setWindowSize(WindowHandle hwnd, int width, int height) {
    SetWindowPos(Hwnd(hwnd), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void Win32Platform::moveWindow(WindowHandle hwnd, int x, int y, int width, int height,
                               bool repaint) {
    MoveWindow(Hwnd(hwnd), x, y, width, height, repaint ? TRUE : FALSE);
}

void Win32Platform::invalidateRect(WindowHandle hwnd, bool erase) {
    InvalidateRect(Hwnd(hwnd), nullptr, erase ? TRUE : FALSE);
}

void Win32Platform::setWindowText(WindowHandle hwnd, std::u16string_view text) {
    SetWindowTextW(Hwnd(hwnd), WideString(text).c_str());
}

void Win32Platform::setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) {
    SetDlgItemTextW(Hwnd(dialog), id, WideString(text).c_str());
}

std::u16string Win32Platform::getDlgItemText(WindowHandle dialog, int id) {
    HWND control = GetDlgItem(Hwnd(dialog), id);
    if (control == nullptr) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, u'\0');
    const int length = GetWindowTextW(control, Wide(text.data()), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

void Win32Platform::setIcon(WindowHandle hwnd, int which, IconHandle icon) {
    SendMessageW(Hwnd(hwnd), WM_SETICON, static_cast<WPARAM>(which), static_cast<LPARAM>(icon));
}

TimerId Win32Platform::setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) {
    return SetTimer(Hwnd(hwnd), id, milliseconds, nullptr);
}

void Win32Platform::killTimer(WindowHandle hwnd, TimerId id) {
    KillTimer(Hwnd(hwnd), id);
}

void Win32Platform::hideWindow(WindowHandle hwnd) {
    ShowWindow(Hwnd(hwnd), SW_HIDE);
}

void Win32Platform::destroyWindow(WindowHandle hwnd) {
    DestroyWindow(Hwnd(hwnd));
}

// Resources, keyboard, menus --------------------------------------------------

IconHandle Win32Platform::loadIcon(int id) {
    return ToSeam(LoadIconW(m_hInstance, MAKEINTRESOURCEW(id)));
}

AccelHandle Win32Platform::loadAccelerators(int id) {
    return ToSeam(LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(id)));
}

std::u16string Win32Platform::loadString(int id) {
    // With a zero buffer size LoadStringW hands out the resource's own text,
    // so strings of any length load whole.
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(m_hInstance, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) {
        return {};
    }
    return {text, text + length};
}

MenuHandle Win32Platform::getSystemMenu(WindowHandle hwnd) {
    return ToSeam(GetSystemMenu(Hwnd(hwnd), FALSE));
}

void Win32Platform::appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                               std::u16string_view text) {
    const std::wstring item = WideString(text);
    AppendMenuW(FromSeam<HMENU>(menu), flags, id,
                (flags & MF_SEPARATOR) != 0 ? nullptr : item.c_str());
}

// Painting the minimised window -------------------------------------------------

DeviceContextHandle Win32Platform::beginPaint(WindowHandle hwnd) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Hwnd(hwnd), &paint);
    m_paints.emplace_back(Hwnd(hwnd), paint);
    return ToSeam(dc);
}

void Win32Platform::endPaint(WindowHandle hwnd, DeviceContextHandle dc) {
    for (auto it = m_paints.rbegin(); it != m_paints.rend(); ++it) {
        if (it->first == Hwnd(hwnd) && it->second.hdc == FromSeam<HDC>(dc)) {
            EndPaint(it->first, &it->second);
            m_paints.erase(std::next(it).base());
            return;
        }
    }
}

void Win32Platform::sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) {
    SendMessageW(Hwnd(hwnd), WM_ICONERASEBKGND, static_cast<WPARAM>(dc), 0);
}

int Win32Platform::getSystemMetrics(int index) {
    return GetSystemMetrics(index);
}

void Win32Platform::drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) {
    DrawIcon(FromSeam<HDC>(dc), x, y, FromSeam<HICON>(icon));
}

// Process, shell, help ------------------------------------------------------------

std::uint32_t Win32Platform::getModuleFileName(char16_t* buffer, std::uint32_t size) {
    return GetModuleFileNameW(nullptr, Wide(buffer), size);
}

int Win32Platform::messageBox(WindowHandle owner, std::u16string_view text,
                              std::u16string_view caption, std::uint32_t type) {
    return MessageBoxW(Hwnd(owner), WideString(text).c_str(), WideString(caption).c_str(), type);
}

bool Win32Platform::winHelp(WindowHandle hwnd, std::u16string_view helpFile, std::uint32_t command,
                            std::uintptr_t data) {
    return WinHelpW(Hwnd(hwnd), WideString(helpFile).c_str(), command, data) != FALSE;
}

void Win32Platform::initCommonControls(std::uint32_t classes) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), classes};
    InitCommonControlsEx(&controls);
}

bool Win32Platform::registerApplicationRestart(std::u16string_view commandLine,
                                               std::uint32_t flags) {
    // Looked up by name: the call exists from Windows Vista on only.
    using RegisterFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return false;
    }
    const auto registerRestart = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "RegisterApplicationRestart")));
    if (registerRestart == nullptr) {
        return false;
    }
    return SUCCEEDED(registerRestart(WideString(commandLine).c_str(), flags));
}

std::u16string Win32Platform::commandLineArguments() {
    return m_commandLineArguments;
}

bool Win32Platform::createGuid(Guid& guid) {
    GUID native{};
    if (FAILED(CoCreateGuid(&native))) {
        return false;
    }
    guid.data1 = native.Data1;
    guid.data2 = native.Data2;
    guid.data3 = native.Data3;
    std::memcpy(guid.data4, native.Data4, sizeof guid.data4);
    return true;
}

// Version information ---------------------------------------------------------------

std::uint32_t Win32Platform::getFileVersionInfoSize(const char16_t* path) {
    DWORD ignored = 0;
    return GetFileVersionInfoSizeW(Wide(path), &ignored);
}

bool Win32Platform::getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) {
    return GetFileVersionInfoW(Wide(path), 0, size, block) != FALSE;
}

bool Win32Platform::verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                                  std::uint32_t* length) {
    void* found = nullptr;
    UINT foundLength = 0;
    if (VerQueryValueW(block, Wide(subBlock), &found, &foundLength) == FALSE) {
        return false;
    }
    *value = found;
    *length = foundLength;
    return true;
}

} // namespace kestrove::win32
