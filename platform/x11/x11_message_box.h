// MessageBoxW on X11: a small modal dialog with the text as a static control
// and an OK button, laid out in dialog units like the program's own dialogs.
#pragma once

#include "platform/platform.h"
#include "res/resources.h"

#include <array>
#include <string>

namespace kestrove::x11 {

class MessageBoxDialog final : public DialogEvents {
public:
    static constexpr int kPointSize = 9;

    // `textUnits`: the text's width in dialog units of the dialog font.
    MessageBoxDialog(Platform& platform, std::u16string_view text, std::u16string_view caption,
                     int textUnits);
    MessageBoxDialog(const MessageBoxDialog&) = delete;
    MessageBoxDialog& operator=(const MessageBoxDialog&) = delete;

    const res::DialogTemplate& dialogTemplate() const { return m_template; }

    void onCreated(WindowHandle hwnd) override { m_hwnd = hwnd; }
    bool onInitDialog() override { return true; }
    bool onPreTranslateMessage(Message& msg) override;
    void onCommand(std::uint32_t id) override;
    void onSysCommand(std::uint32_t id, std::intptr_t lParam) override;
    void onTimer(TimerId) override {}
    bool onPaint() override { return false; }
    IconHandle onQueryDragIcon() override { return 0; }
    void onHelp() override {}
    void onNcDestroy() override { m_hwnd = 0; }

private:
    Platform& m_platform;
    std::u16string m_text;
    std::u16string m_caption;
    std::array<res::DialogControl, 2> m_controls;
    res::DialogTemplate m_template;
    WindowHandle m_hwnd = 0;
};

} // namespace kestrove::x11
