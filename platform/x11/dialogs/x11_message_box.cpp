#include "platform/x11/dialogs/x11_message_box.h"

#include "platform/x11/dialogs/line_breaker.h"

#include <algorithm>

namespace kestrove::x11 {

namespace {
constexpr int kMargin = 10;
constexpr int kTextHeight = 8;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kMinimumWidth = 120;
// Everything but the text, top to bottom.
constexpr int kHeightBesideText = kMargin + kMargin + kButtonHeight + kMargin;
constexpr std::uint32_t kStaticStyle = res::WS_CHILD | res::WS_VISIBLE | res::SS_NOPREFIX;
constexpr std::uint32_t kButtonStyle =
    res::WS_CHILD | res::WS_VISIBLE | res::WS_TABSTOP | res::BS_DEFPUSHBUTTON;
constexpr std::uint32_t kBoxStyle = res::WS_POPUP | res::WS_VISIBLE | res::WS_CAPTION |
                                    res::WS_SYSMENU | res::DS_MODALFRAME | res::DS_SETFONT;

struct TextSize {
    int cx; // dialog units
    int cy;
};

// The text's size once wrapped for a box of at most 3/4 of the work area's
// width and at most its height (lines beyond that are cut, the button stays).
TextSize WrappedTextSize(std::u16string_view text, const DialogFont& font, const Rect& workArea) {
    const int workWidth = workArea.right - workArea.left;
    const int workHeight = workArea.bottom - workArea.top;
    // One unit less for the rounding up from pixels to units.
    const int maxBoxUnits = font.pixelsToUnitsX(workWidth * 3 / 4) - 1;
    const int maxTextPixels = std::max(1, font.unitsToPixelsX(maxBoxUnits - 2 * kMargin));
    const std::vector<std::u16string> lines = BreakLines(
        text, maxTextPixels, [&](std::u16string_view piece) { return font.textWidth(piece); });
    int widest = 0;
    for (const std::u16string& line : lines) {
        widest = std::max(widest, font.textWidth(line));
    }
    const int heightPixels = static_cast<int>(lines.size()) * font.height();
    const int maxTextUnitsY = font.pixelsToUnitsY(workHeight) - 1 - kHeightBesideText;
    return {font.pixelsToUnitsX(widest),
            std::max(kTextHeight, std::min(font.pixelsToUnitsY(heightPixels), maxTextUnitsY))};
}

} // namespace

MessageBoxDialog::MessageBoxDialog(Dialogs& dialogs, std::u16string_view text,
                                   std::u16string_view caption, const DialogFont& font,
                                   const Rect& workArea)
    : m_dialogs(dialogs), m_text(text), m_caption(caption) {
    const TextSize textSize = WrappedTextSize(m_text, font, workArea);
    const int width = std::max(kMinimumWidth, textSize.cx + 2 * kMargin);
    const int buttonY = kMargin + textSize.cy + kMargin;
    const int height = buttonY + kButtonHeight + kMargin;
    m_controls = {{
        {-1, res::kClassStatic, m_text, 0, kMargin, kMargin, width - 2 * kMargin, textSize.cy,
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
