#include "platform/x11/x11_message_box.h"

#include <algorithm>

namespace kestrove::x11 {

namespace {
constexpr int kMargin = 10;
constexpr int kTextHeight = 8;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kMinimumWidth = 120;
constexpr std::uint32_t kStaticStyle = res::WS_CHILD | res::WS_VISIBLE | res::SS_NOPREFIX;
constexpr std::uint32_t kButtonStyle =
    res::WS_CHILD | res::WS_VISIBLE | res::WS_TABSTOP | res::BS_DEFPUSHBUTTON;
constexpr std::uint32_t kBoxStyle = res::WS_POPUP | res::WS_VISIBLE | res::WS_CAPTION |
                                    res::WS_SYSMENU | res::DS_MODALFRAME | res::DS_SETFONT;
} // namespace

MessageBoxDialog::MessageBoxDialog(Dialogs& dialogs, std::u16string_view text,
                                   std::u16string_view caption, int textUnits)
    : m_dialogs(dialogs), m_text(text), m_caption(caption) {
    const int width = std::max(kMinimumWidth, textUnits + 2 * kMargin);
    const int buttonY = kMargin + kTextHeight + kMargin;
    const int height = buttonY + kButtonHeight + kMargin;
    m_controls = {{
        {-1, res::kClassStatic, m_text, 0, kMargin, kMargin, width - 2 * kMargin, kTextHeight,
         kStaticStyle},
        {win::IDOK, res::kClassButton, u"OK", 0, width - kMargin - kButtonWidth, buttonY,
         kButtonWidth, kButtonHeight, kButtonStyle},
    }};
    m_template = {0,         kBoxStyle,        0,          0, 0,     width, height,
                  m_caption, res::kDialogFont, kPointSize, 0, false, 1,     m_controls};
}

bool MessageBoxDialog::deliverPreTranslateMessage(Message& msg) {
    return m_dialogs.isDialogMessage(m_hwnd, msg);
}

void MessageBoxDialog::deliverCommand(std::uint32_t id) {
    // With OK as the only button, every way of closing the box answers OK.
    if (id == win::IDOK || id == win::IDCANCEL) {
        m_dialogs.endDialog(m_hwnd);
    }
}

void MessageBoxDialog::deliverSysCommand(std::uint32_t, std::intptr_t) {
    m_dialogs.defaultProcessing(m_hwnd);
}

} // namespace kestrove::x11
