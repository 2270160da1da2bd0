// The name a program goes by: its file's name without directory or extension,
// as Windows names applications ("Kestrove" for ".../Kestrove.exe").
#pragma once

#include <string>
#include <string_view>

namespace kestrove {

std::u16string FileStem(std::u16string_view path);

} // namespace kestrove
