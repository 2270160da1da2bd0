#include "platform/x11/dialogs/x11_font.h"

#include "common/utf.h"
#include "platform/x11/dialogs/x11_dpi.h"
#include "platform/x11/dialogs/x11_paint.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace kestrove::x11 {

namespace {

// The Windows face first; fontconfig appends its own substitutes, so a
// Japanese gothic font is matched when the face is not installed.
FcPattern* DialogFontPattern(std::u16string_view face, int pixelSize) {
    FcPattern* pattern = FcPatternCreate();
    const std::string family = ToUtf8(face);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Noto Sans CJK JP"));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize);
    return pattern;
}

XftColor MakeColor(unsigned long rgb) {
    XftColor color{};
    color.pixel = rgb;
    color.color.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 0x101);
    color.color.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 0x101);
    color.color.blue = static_cast<unsigned short>((rgb & 0xFF) * 0x101);
    color.color.alpha = 0xFFFF;
    return color;
}

} // namespace

AccessKeyText StripAccessKey(std::u16string_view text) {
    AccessKeyText result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && !result.underlined) {
                result.underlined = result.text.size();
            }
        }
        result.text.push_back(text[i]);
    }
    return result;
}

DialogFont::DialogFont(Display* display, int screen, std::u16string_view face, int pointSize)
    : m_display(display), m_screen(screen) {
    FcPattern* pattern =
        DialogFontPattern(face, MulDiv(pointSize, DesktopDotsPerInch(display), 72));
    FcResult result = FcResultNoMatch;
    FcPattern* match = XftFontMatch(display, screen, pattern, &result);
    FcPatternDestroy(pattern);
    if (match != nullptr) {
        m_font = XftFontOpenPattern(display, match); // takes the pattern
    }
    if (m_font == nullptr) {
        if (match != nullptr) {
            FcPatternDestroy(match);
        }
        throw std::runtime_error("no font for the dialogs");
    }
    // The average width of the 52 Latin letters, rounded, and the font's
    // height: the dialog base units of Windows.
    const int letters = textWidth(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = height();
}

DialogFont::~DialogFont() {
    XftFontClose(m_display, m_font);
}

int DialogFont::unitsToPixelsX(int units) const {
    return MulDiv(units, m_baseX, 4);
}

int DialogFont::unitsToPixelsY(int units) const {
    return MulDiv(units, m_baseY, 8);
}

int DialogFont::pixelsToUnitsX(int pixels) const {
    return (pixels * 4 + m_baseX - 1) / m_baseX;
}

int DialogFont::pixelsToUnitsY(int pixels) const {
    return (pixels * 8 + m_baseY - 1) / m_baseY;
}

int DialogFont::textWidth(std::u16string_view text) const {
    const std::string utf8 = ToUtf8(text);
    XGlyphInfo extents{};
    XftTextExtentsUtf8(m_display, m_font, reinterpret_cast<const FcChar8*>(utf8.data()),
                       static_cast<int>(utf8.size()), &extents);
    return extents.xOff;
}

void DialogFont::draw(Drawable drawable, int x, int y, std::u16string_view text,
                      unsigned long color) const {
    XftDraw* draw = XftDrawCreate(m_display, drawable, DefaultVisual(m_display, m_screen),
                                  DefaultColormap(m_display, m_screen));
    if (draw == nullptr) {
        return;
    }
    const XftColor xftColor = MakeColor(color);
    const std::string utf8 = ToUtf8(text);
    XftDrawStringUtf8(draw, &xftColor, m_font, x, y, reinterpret_cast<const FcChar8*>(utf8.data()),
                      static_cast<int>(utf8.size()));
    XftDrawDestroy(draw);
}

void DialogFont::drawLabel(Drawable drawable, int x, int y, const AccessKeyText& label,
                           unsigned long color) const {
    draw(drawable, x, y, label.text, color);
    if (label.underlined) {
        const std::u16string_view text = label.text;
        const int start = x + textWidth(text.substr(0, *label.underlined));
        const int width = textWidth(text.substr(*label.underlined, 1));
        FillRect(m_display, m_screen, drawable, start, y + 1, width, 1, color);
    }
}

} // namespace kestrove::x11
