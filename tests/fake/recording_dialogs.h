// The recording fake's dialogs: dialogs made from the resource templates; the modal run is the
// test's duringModal.
#pragma once

#include "platform/seam/dialogs.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingDialogs final : public Dialogs {
public:
    explicit RecordingDialogs(RecordingPlatform& fake) : m_fake(fake) {}

    WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) override;
    void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) override;
    void endDialog(WindowHandle hwnd) override;
    void hideWindow(WindowHandle hwnd) override;
    void destroyWindow(WindowHandle hwnd) override;
    void defaultProcessing(WindowHandle hwnd) override;
    bool isDialogMessage(WindowHandle hwnd, Message& msg) override;
    void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) override;
    std::u16string getDlgItemText(WindowHandle dialog, int id) override;
    bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) override;
    MenuHandle getSystemMenu(WindowHandle hwnd) override;
    void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                    std::u16string_view text) override;
    TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) override;
    void killTimer(WindowHandle hwnd, TimerId id) override;
    int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t type) override;

private:
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
