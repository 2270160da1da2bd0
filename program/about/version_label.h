// The About box's version line from the cached version text: the text step,
// which needs no platform service.
#pragma once

#include <string>
#include <string_view>

namespace kestrove {

// "Ver.:2.0.0.100" -> "Kestrove Ver.:2-0-0-100": dots and commas of the value
// become hyphens, semicolons dots, "%" becomes ".:", and a ".:" stays.
std::u16string FormatVersionLabel(std::u16string_view cachedVersion);

} // namespace kestrove
