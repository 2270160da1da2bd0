#include "program/about/version_label.h"

#include "common/wide_format.h"

namespace kestrove {

namespace {

// Left to right, without overlap; the scan resumes after the inserted text,
// so a replacement never sees its own output.
void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    if (from.empty()) {
        return;
    }
    std::size_t at = text.find(from);
    while (at != std::u16string::npos) {
        text.replace(at, from.size(), to);
        at = text.find(from, at + to.size());
    }
}

} // namespace

std::u16string FormatVersionLabel(std::u16string_view cachedVersion) {
    std::u16string text(cachedVersion);
    // "%" holds the place of ".:" while the dots are replaced.
    ReplaceAll(text, u".:", u"%");
    ReplaceAll(text, u".", u"-");
    ReplaceAll(text, u",", u"-");
    ReplaceAll(text, u";", u".");
    ReplaceAll(text, u"%", u".:");
    return WideFormat(u"Kestrove %s", {std::u16string_view(text)});
}

} // namespace kestrove
