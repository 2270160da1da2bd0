// The dialog font drawn with Xft, and the dialog base units that turn a
// template's dialog units into pixels, computed as Windows computes them.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <string_view>

namespace kestrove::x11 {

// The label of a menu entry or control without its access-key marks ("&&"
// stays as one '&'), and the position of the underlined character, if any.
struct AccessKeyText {
    std::u16string text;
    std::optional<std::size_t> underlined;
};
AccessKeyText StripAccessKey(std::u16string_view text);

class DialogFont {
public:
    // `face` is asked of fontconfig for Japanese text, falling back to an
    // installed Japanese gothic; `pointSize` at the desktop's dots per inch
    // (Xft.dpi, else 96). Throws std::runtime_error when no font can be opened.
    DialogFont(Display* display, int screen, std::u16string_view face, int pointSize);
    ~DialogFont();
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    // MapDialogRect: dialog units to pixels.
    int unitsToPixelsX(int units) const;
    int unitsToPixelsY(int units) const;
    // The inverse, rounded up, for sizing boxes around measured text.
    int pixelsToUnitsX(int pixels) const;
    int pixelsToUnitsY(int pixels) const;

    int textWidth(std::u16string_view text) const;
    int ascent() const { return m_font->ascent; }
    int height() const { return m_font->ascent + m_font->descent; }

    // Draws `text` with its baseline at (x, y) in `color` (0xRRGGBB).
    void draw(Drawable drawable, int x, int y, std::u16string_view text, unsigned long color) const;
    // The same, with the access key underlined.
    void drawLabel(Drawable drawable, int x, int y, const AccessKeyText& label,
                   unsigned long color) const;

private:
    Display* m_display;
    int m_screen;
    XftFont* m_font = nullptr;
    int m_baseX = 0;
    int m_baseY = 0;
};

} // namespace kestrove::x11
