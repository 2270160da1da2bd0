#include "platform/x11/dialogs/line_breaker.h"

#include <algorithm>

namespace kestrove::x11 {

namespace {

// Characters no line may start with: closing brackets and punctuation,
// small kana, the prolonged sound mark and iteration marks.
constexpr std::u16string_view kNoLineStart =
    u"、。，．・：；？！゛゜ヽヾゝゞ々ー―‐〜～…‥）］｝〕〉》」』】〙〗’”"
    u"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶ,.:;?!)]}%";
// Characters no line may end with: opening brackets.
constexpr std::u16string_view kNoLineEnd = u"（［｛〔〈《「『【〘〖‘“([{";

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Scripts written without spaces between words: a line may break between
// any two of their characters.
bool IsIdeographic(char16_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) || IsHighSurrogate(c) ||
           IsLowSurrogate(c);
}

bool In(std::u16string_view set, char16_t c) {
    return set.find(c) != std::u16string_view::npos;
}

// A line may break before text[i] (0 < i < size).
bool MayBreakBefore(std::u16string_view text, std::size_t i) {
    const char16_t before = text[i - 1];
    const char16_t after = text[i];
    if (IsHighSurrogate(before) || IsSpace(after) || In(kNoLineStart, after) ||
        In(kNoLineEnd, before)) {
        return false;
    }
    return IsSpace(before) || IsIdeographic(before) || IsIdeographic(after);
}

std::u16string_view TrimTrailingSpaces(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The characters of text[start...] that fit `maxWidth`, at least one
// (a surrogate pair counts as one).
std::size_t CharactersThatFit(std::u16string_view text, std::size_t start, int maxWidth,
                              const TextMeasure& width) {
    std::size_t end = start + 1;
    if (end < text.size() && IsLowSurrogate(text[end])) {
        ++end;
    }
    while (end < text.size()) {
        std::size_t next = end + 1;
        if (next < text.size() && IsLowSurrogate(text[next])) {
            ++next;
        }
        if (width(text.substr(start, next - start)) > maxWidth) {
            break;
        }
        end = next;
    }
    return end;
}

void BreakParagraph(std::u16string_view text, int maxWidth, const TextMeasure& width,
                    std::vector<std::u16string>& lines) {
    std::size_t start = 0;
    while (true) {
        const std::u16string_view rest = TrimTrailingSpaces(text.substr(start));
        if (width(rest) <= maxWidth) {
            lines.emplace_back(rest);
            return;
        }
        // The last break after which the line still fits.
        std::size_t end = 0;
        for (std::size_t i = start + 1; i < text.size(); ++i) {
            if (!MayBreakBefore(text, i)) {
                continue;
            }
            if (width(TrimTrailingSpaces(text.substr(start, i - start))) > maxWidth) {
                break;
            }
            end = i;
        }
        if (end == 0) {
            end = CharactersThatFit(text, start, maxWidth, width);
        }
        lines.emplace_back(TrimTrailingSpaces(text.substr(start, end - start)));
        start = end;
        while (start < text.size() && IsSpace(text[start])) {
            ++start;
        }
        if (start == text.size()) {
            return;
        }
    }
}

} // namespace

std::vector<std::u16string> BreakLines(std::u16string_view text, int maxWidth,
                                       const TextMeasure& width) {
    std::vector<std::u16string> lines;
    while (true) {
        const std::size_t newline = text.find(u'\n');
        std::u16string_view paragraph = text.substr(0, newline);
        if (!paragraph.empty() && paragraph.back() == u'\r') {
            paragraph.remove_suffix(1);
        }
        BreakParagraph(paragraph, maxWidth, width, lines);
        if (newline == std::u16string_view::npos) {
            return lines;
        }
        text.remove_prefix(newline + 1);
    }
}

} // namespace kestrove::x11
