// The recording fake's dialogs: dialogs made from the resource templates; the modal run is the
// test's duringModal.
#pragma once

#include "platform/seam/dialogs.h"
#include "tests/fake/recording_state.h"

#include "common/utf.h"
#include "res/resource_lookup.h"
#include <string>

namespace kestrove::testing {

class RecordingDialogs final : public Dialogs {
public:
    explicit RecordingDialogs(RecordingState& fake) : m_fake(fake) {}

    void setDlgItemText(WindowHandle, int id, std::u16string_view text) override {
        m_fake.dialogItems[id] = text;
    }

    std::u16string getDlgItemText(WindowHandle, int id) override { return m_fake.dialogItems[id]; }

    TimerId setTimer(WindowHandle, TimerId id, std::uint32_t milliseconds) override {
        m_fake.record("setTimer(" + std::to_string(id) + "," + std::to_string(milliseconds) + ")");
        m_fake.timerRunning = true;
        return id;
    }

    void killTimer(WindowHandle, TimerId id) override {
        m_fake.record("killTimer(" + std::to_string(id) + ")");
        m_fake.timerRunning = false;
    }

    WindowHandle createDialog(int templateId, WindowHandle, DialogEvents& events) override {
        m_fake.record("createDialog(" + std::to_string(templateId) + ")");
        if (!m_fake.dialogCreated || res::FindDialog(templateId) == nullptr) {
            return 0;
        }
        m_fake.dialogsMade.push_back(templateId);
        const WindowHandle hwnd = m_fake.kDialog + m_fake.openDialogs.size();
        m_fake.openDialogs.push_back(&events);
        events.deliverCreated(hwnd);
        events.deliverInitDialog();
        return hwnd;
    }

    void runModalLoop(WindowHandle, WindowHandle, DialogEvents& events) override {
        m_fake.record("runModalLoop");
        if (m_fake.duringModal && m_fake.openDialogs.size() == 1) {
            m_fake.duringModal(events);
        }
    }

    void endDialog(WindowHandle) override { m_fake.record("endDialog"); }

    void hideWindow(WindowHandle) override { m_fake.record("hideWindow"); }

    void destroyWindow(WindowHandle) override {
        m_fake.record("destroyWindow");
        if (!m_fake.openDialogs.empty()) {
            DialogEvents* events = m_fake.openDialogs.back();
            m_fake.openDialogs.pop_back();
            events->deliverNcDestroy();
        }
    }

    void defaultProcessing(WindowHandle) override { m_fake.record("defaultProcessing"); }

    bool isDialogMessage(WindowHandle, Message&) override { return false; }

    bool translateAccelerator(WindowHandle, AccelHandle accel, Message& msg) override {
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

    MenuHandle getSystemMenu(WindowHandle) override { return m_fake.systemMenu ? 1 : 0; }

    void appendMenu(MenuHandle, std::uint32_t flags, std::uintptr_t id,
                    std::u16string_view text) override {
        m_fake.record("appendMenu(" + std::to_string(flags) + "," + std::to_string(id) + ")");
        m_fake.menuEntries.push_back(MenuEntry{flags, id, std::u16string(text)});
    }

    int messageBox(WindowHandle, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t type) override {
        m_fake.record("messageBox(" + ToUtf8(caption) + "," + std::to_string(type) + ")");
        m_fake.messageBoxes.emplace_back(text);
        return win::IDOK;
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
