#include "tests/fake/recording_dialogs.h"

#include "common/utf.h"
#include "res/resource_lookup.h"
#include "tests/fake/recording_platform.h"

#include <string>

namespace kestrove::testing {

void RecordingDialogs::setDlgItemText(WindowHandle, int id, std::u16string_view text) {
    m_fake.dialogItems[id] = text;
}

std::u16string RecordingDialogs::getDlgItemText(WindowHandle, int id) {
    return m_fake.dialogItems[id];
}

TimerId RecordingDialogs::setTimer(WindowHandle, TimerId id, std::uint32_t milliseconds) {
    m_fake.record("setTimer(" + std::to_string(id) + "," + std::to_string(milliseconds) + ")");
    m_fake.timerRunning = true;
    return id;
}

void RecordingDialogs::killTimer(WindowHandle, TimerId id) {
    m_fake.record("killTimer(" + std::to_string(id) + ")");
    m_fake.timerRunning = false;
}

WindowHandle RecordingDialogs::createDialog(int templateId, WindowHandle, DialogEvents& events) {
    m_fake.record("createDialog(" + std::to_string(templateId) + ")");
    if (!m_fake.dialogCreated || res::FindDialog(templateId) == nullptr) {
        return 0;
    }
    const WindowHandle hwnd = m_fake.kDialog + m_fake.openDialogs.size();
    m_fake.openDialogs.push_back(&events);
    events.deliverCreated(hwnd);
    events.deliverInitDialog();
    return hwnd;
}

void RecordingDialogs::runModalLoop(WindowHandle, WindowHandle, DialogEvents& events) {
    m_fake.record("runModalLoop");
    if (m_fake.duringModal && m_fake.openDialogs.size() == 1) {
        m_fake.duringModal(events);
    }
}

void RecordingDialogs::endDialog(WindowHandle) {
    m_fake.record("endDialog");
}

void RecordingDialogs::hideWindow(WindowHandle) {
    m_fake.record("hideWindow");
}

void RecordingDialogs::destroyWindow(WindowHandle) {
    m_fake.record("destroyWindow");
    if (!m_fake.openDialogs.empty()) {
        DialogEvents* events = m_fake.openDialogs.back();
        m_fake.openDialogs.pop_back();
        events->deliverNcDestroy();
    }
}

void RecordingDialogs::defaultProcessing(WindowHandle) {
    m_fake.record("defaultProcessing");
}

bool RecordingDialogs::isDialogMessage(WindowHandle, Message&) {
    return false;
}

bool RecordingDialogs::translateAccelerator(WindowHandle, AccelHandle accel, Message& msg) {
    if (msg.message != win::WM_KEYDOWN || m_fake.openDialogs.empty()) {
        return false;
    }
    // The tests give the virtual key in wParam and the Ctrl state in lParam.
    const bool control = msg.lParam != 0;
    for (const res::AcceleratorEntry& entry : res::FindAccelerators(static_cast<int>(accel))) {
        const bool wantsControl = (entry.flags & res::FCONTROL) != 0;
        if (entry.key == msg.wParam && wantsControl == control) {
            m_fake.openDialogs.back()->deliverCommand(entry.command);
            return true;
        }
    }
    return false;
}

MenuHandle RecordingDialogs::getSystemMenu(WindowHandle) {
    return m_fake.systemMenu ? 1 : 0;
}

void RecordingDialogs::appendMenu(MenuHandle, std::uint32_t flags, std::uintptr_t id,
                                  std::u16string_view text) {
    m_fake.record("appendMenu(" + std::to_string(flags) + "," + std::to_string(id) + ")");
    m_fake.menuEntries.emplace_back(text);
}

int RecordingDialogs::messageBox(WindowHandle, std::u16string_view text,
                                 std::u16string_view caption, std::uint32_t type) {
    m_fake.record("messageBox(" + ToUtf8(caption) + "," + std::to_string(type) + ")");
    m_fake.messageBoxes.emplace_back(text);
    return win::IDOK;
}

} // namespace kestrove::testing
