#include "tests/fake/recording_platform.h"

#include "common/utf.h"
#include "res/resources.h"

#include <algorithm>
#include <sstream>

namespace kestrove::testing {

std::string Describe(const Rect& rc) {
    std::ostringstream text;
    text << rc.left << ',' << rc.top << ',' << rc.right << ',' << rc.bottom;
    return text.str();
}

RecordingPlatform::RecordingPlatform() {
    SetThePlatform(this);
}

RecordingPlatform::~RecordingPlatform() {
    SetThePlatform(nullptr);
}

std::vector<std::string> RecordingPlatform::takeCalls() {
    std::vector<std::string> taken;
    taken.swap(calls);
    return taken;
}

void RecordingPlatform::record(std::string call) {
    calls.push_back(std::move(call));
}

void RecordingPlatform::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    record("enumDisplayMonitors");
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        Rect rect = monitors[i].rect;
        if (proc(i + 1, 0, &rect, data) == 0) {
            break;
        }
    }
}

bool RecordingPlatform::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    if (monitor == 0 || monitor > monitors.size() || monitors[monitor - 1].infoFails) {
        return false;
    }
    const FakeMonitor& fake = monitors[monitor - 1];
    info.rcMonitor = fake.rect;
    info.rcWork = fake.work;
    info.dwFlags = fake.flags;
    std::copy_n(fake.device.begin(), std::min<std::size_t>(fake.device.size(), 31), info.szDevice);
    return true;
}

bool RecordingPlatform::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    record("enumDisplayDevices(" + std::to_string(index) + ")");
    if (index >= devices.size()) {
        return false;
    }
    device = devices[index];
    device.cb = kDisplayDeviceSize;
    return true;
}

bool RecordingPlatform::magInitialize() {
    record("magInitialize");
    return true;
}

WindowHandle RecordingPlatform::createMagnifierWindow(WindowHandle, const Rect& area) {
    record("createMagnifierWindow(" + Describe(area) + ")");
    return magnifierCreated ? kMagnifier : 0;
}

bool RecordingPlatform::magSetWindowSource(WindowHandle, const Rect& source) {
    record("magSetWindowSource(" + Describe(source) + ")");
    return true;
}

bool RecordingPlatform::magSetWindowTransform(WindowHandle, const MagTransform& transform) {
    std::ostringstream text;
    text.precision(9);
    text << "magSetWindowTransform(" << transform.v[0][0] << ")";
    record(text.str());
    return true;
}

bool RecordingPlatform::isWindow(WindowHandle hwnd) {
    record("isWindow");
    return hwnd == kDialog || (hwnd == kMagnifier && magnifierCreated);
}

bool RecordingPlatform::isIconic(WindowHandle) {
    return iconic;
}

Rect RecordingPlatform::getClientRect(WindowHandle hwnd) {
    if (hwnd == kDialog) {
        return client;
    }
    return {};
}

Rect RecordingPlatform::calcWindowRect(WindowHandle, const Rect& clientRect) {
    return {clientRect.left - frameWidth, clientRect.top - frameWidth,
            clientRect.right + frameWidth, clientRect.bottom + frameWidth};
}

void RecordingPlatform::setWindowSize(WindowHandle, int width, int height) {
    record("setWindowSize(" + std::to_string(width) + "," + std::to_string(height) + ")");
    client.right = client.left + width - 2 * frameWidth;
    client.bottom = client.top + std::min(height - 2 * frameWidth, maxClientHeight);
}

void RecordingPlatform::moveWindow(WindowHandle, int x, int y, int width, int height, bool) {
    record("moveWindow(" + std::to_string(x) + "," + std::to_string(y) + "," +
           std::to_string(width) + "," + std::to_string(height) + ")");
}

void RecordingPlatform::invalidateRect(WindowHandle, bool) {
    record("invalidateRect");
}

void RecordingPlatform::setWindowText(WindowHandle, std::u16string_view text) {
    record("setWindowText(" + ToUtf8(text) + ")");
    title = text;
}

void RecordingPlatform::setDlgItemText(WindowHandle, int id, std::u16string_view text) {
    dialogItems[id] = text;
}

std::u16string RecordingPlatform::getDlgItemText(WindowHandle, int id) {
    return dialogItems[id];
}

void RecordingPlatform::setIcon(WindowHandle, int which, IconHandle) {
    record(which == win::ICON_BIG ? "setIcon(big)" : "setIcon(small)");
}

TimerId RecordingPlatform::setTimer(WindowHandle, TimerId id, std::uint32_t milliseconds) {
    record("setTimer(" + std::to_string(id) + "," + std::to_string(milliseconds) + ")");
    timerRunning = true;
    return id;
}

void RecordingPlatform::killTimer(WindowHandle, TimerId id) {
    record("killTimer(" + std::to_string(id) + ")");
    timerRunning = false;
}

WindowHandle RecordingPlatform::createDialog(int templateId, WindowHandle, DialogEvents& events) {
    record("createDialog(" + std::to_string(templateId) + ")");
    if (!dialogCreated || res::FindDialog(templateId) == nullptr) {
        return 0;
    }
    const WindowHandle hwnd = kDialog + m_dialogs.size();
    m_dialogs.push_back(&events);
    events.onCreated(hwnd);
    events.onInitDialog();
    return hwnd;
}

void RecordingPlatform::runModalLoop(WindowHandle, WindowHandle, DialogEvents& events) {
    record("runModalLoop");
    if (duringModal && m_dialogs.size() == 1) {
        duringModal(events);
    }
}

void RecordingPlatform::endDialog(WindowHandle) {
    record("endDialog");
}

void RecordingPlatform::hideWindow(WindowHandle) {
    record("hideWindow");
}

void RecordingPlatform::destroyWindow(WindowHandle) {
    record("destroyWindow");
    if (!m_dialogs.empty()) {
        DialogEvents* events = m_dialogs.back();
        m_dialogs.pop_back();
        events->onNcDestroy();
    }
}

void RecordingPlatform::defaultProcessing(WindowHandle) {
    record("defaultProcessing");
}

bool RecordingPlatform::isDialogMessage(WindowHandle, Message&) {
    return false;
}

IconHandle RecordingPlatform::loadIcon(int id) {
    return static_cast<IconHandle>(id);
}

AccelHandle RecordingPlatform::loadAccelerators(int id) {
    return static_cast<AccelHandle>(id);
}

std::u16string RecordingPlatform::loadString(int id) {
    if (useResourceStrings) {
        return std::u16string(res::FindString(id));
    }
    const auto found = strings.find(id);
    return found == strings.end() ? std::u16string() : found->second;
}

bool RecordingPlatform::translateAccelerator(WindowHandle, AccelHandle accel, Message& msg) {
    if (msg.message != win::WM_KEYDOWN || accel != IDR_MIRROR_ACCEL || m_dialogs.empty()) {
        return false;
    }
    // The tests give the virtual key in wParam and the Ctrl state in lParam.
    const bool control = msg.lParam != 0;
    for (const res::AcceleratorEntry& entry : res::kMirrorAccelerators) {
        const bool wantsControl = (entry.flags & res::FCONTROL) != 0;
        if (entry.key == msg.wParam && wantsControl == control) {
            m_dialogs.back()->onCommand(entry.command);
            return true;
        }
    }
    return false;
}

MenuHandle RecordingPlatform::getSystemMenu(WindowHandle) {
    return systemMenu ? 1 : 0;
}

void RecordingPlatform::appendMenu(MenuHandle, std::uint32_t flags, std::uintptr_t id,
                                   std::u16string_view text) {
    record("appendMenu(" + std::to_string(flags) + "," + std::to_string(id) + ")");
    menuEntries.emplace_back(text);
}

DeviceContextHandle RecordingPlatform::beginPaint(WindowHandle) {
    record("beginPaint");
    return 7;
}

void RecordingPlatform::endPaint(WindowHandle, DeviceContextHandle) {
    record("endPaint");
}

void RecordingPlatform::sendIconEraseBackground(WindowHandle, DeviceContextHandle) {
    record("iconEraseBackground");
}

int RecordingPlatform::getSystemMetrics(int index) {
    return index == win::SM_CXICON || index == win::SM_CYICON ? 32 : 0;
}

void RecordingPlatform::drawIcon(DeviceContextHandle, int x, int y, IconHandle) {
    record("drawIcon(" + std::to_string(x) + "," + std::to_string(y) + ")");
}

std::uint32_t RecordingPlatform::getModuleFileName(char16_t* buffer, std::uint32_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t length = std::min<std::size_t>(modulePath.size(), size - 1);
    std::copy_n(modulePath.begin(), length, buffer);
    buffer[length] = u'\0';
    return static_cast<std::uint32_t>(length);
}

int RecordingPlatform::messageBox(WindowHandle, std::u16string_view text,
                                  std::u16string_view caption, std::uint32_t type) {
    record("messageBox(" + ToUtf8(caption) + "," + std::to_string(type) + ")");
    messageBoxes.emplace_back(text);
    return win::IDOK;
}

bool RecordingPlatform::winHelp(WindowHandle, std::u16string_view helpFile, std::uint32_t command,
                                std::uintptr_t data) {
    std::ostringstream text;
    text << "winHelp(" << ToUtf8(helpFile) << "," << command << ",0x" << std::hex << data << ")";
    record(text.str());
    return helpStarts;
}

void RecordingPlatform::initCommonControls(std::uint32_t classes) {
    record("initCommonControls(" + std::to_string(classes) + ")");
}

bool RecordingPlatform::registerApplicationRestart(std::u16string_view commandLine,
                                                   std::uint32_t flags) {
    record("registerApplicationRestart(" + ToUtf8(commandLine) + "," + std::to_string(flags) + ")");
    return true;
}

std::u16string RecordingPlatform::commandLineArguments() {
    return u"-x";
}

bool RecordingPlatform::createGuid(Guid& guid) {
    guid = Guid{0x0123ABCD, 0x4567, 0x89AB, {0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}};
    return true;
}

} // namespace kestrove::testing
