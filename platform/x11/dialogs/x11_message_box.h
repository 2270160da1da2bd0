// MessageBoxW on X11: a small modal dialog with the text as a static control
// and an OK button, laid out in dialog units like the program's own dialogs
// and sized as Windows sizes its message boxes: the text wrapped so the box
// takes at most three quarters of the width of the work area it opens in,
// and no more than that work area's height.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/x11/dialogs/x11_font.h"
#include "res/resource_types.h"

#include <array>
#include <string>

namespace kestrove::x11 {

class MessageBoxDialog final : public DialogEvents {
public:
    static constexpr int kPointSize = 9;

    MessageBoxDialog(Dialogs& dialogs, std::u16string_view text, std::u16string_view caption,
                     const DialogFont& font, const Rect& workArea);
    MessageBoxDialog(const MessageBoxDialog&) = delete;
    MessageBoxDialog& operator=(const MessageBoxDialog&) = delete;

    const res::DialogTemplate& dialogTemplate() const { return m_template; }

    void deliverCreated(WindowHandle hwnd) override { m_hwnd = hwnd; }
    bool deliverInitDialog() override { return true; }
    bool deliverPreTranslateMessage(Message& msg) override;
    void deliverCommand(std::uint32_t id) override;
    void deliverSysCommand(std::uint32_t id, std::intptr_t lParam) override;
    void deliverTimer(TimerId) override {}
    bool deliverPaint() override { return false; }
    IconHandle deliverQueryDragIcon() override { return 0; }
    void deliverHelp() override {}
    void deliverNcDestroy() override { m_hwnd = 0; }
    void deliverNotice(std::u16string_view) override {}

private:
    Dialogs& m_dialogs;
    std::u16string m_text;
    std::u16string m_caption;
    std::array<res::DialogControl, 2> m_controls;
    res::DialogTemplate m_template;
    WindowHandle m_hwnd = 0;
};

} // namespace kestrove::x11
