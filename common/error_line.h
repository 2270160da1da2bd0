// The program's error lines on standard error: "Kestrove: " and the text.
#pragma once

#include <string_view>

namespace kestrove {

void PrintErrorLine(std::string_view text);

} // namespace kestrove
