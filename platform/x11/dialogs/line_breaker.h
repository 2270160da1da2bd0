// Where a text's lines break, as Windows breaks the text of a message box:
// at its own line breaks, after spaces, and between Japanese characters
// except where Japanese typesetting forbids it (no line starts with a
// closing bracket or a small kana, none ends with an opening bracket).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrove::x11 {

// The width of a piece of text, in whatever unit the limit is given in.
using TextMeasure = std::function<int(std::u16string_view)>;

// The lines of `text`, each as wide as `maxWidth` at most where a break
// allows it; a word wider than that is broken between its characters.
// Spaces at a break are dropped; an empty text or paragraph is one empty line.
std::vector<std::u16string> BreakLines(std::u16string_view text, int maxWidth,
                                       const TextMeasure& width);

} // namespace kestrove::x11
