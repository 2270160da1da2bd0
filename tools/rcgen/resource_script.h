// Writes the Windows resource script (.rc) from the single definitions in
// res/resources.h, for windres.
#pragma once

#include <string>

namespace kestrove::rcgen {

struct ResourceFiles {
    std::string icon;     // the icon group's .ico
    std::string manifest; // the application manifest
};

std::string ResourceScript(const ResourceFiles& files);

// A UTF-16 text as an .rc wide-string literal: ASCII as is, everything else
// as \x escapes, so the script is plain ASCII whatever windres's code page.
std::string WideLiteral(std::u16string_view text);

} // namespace kestrove::rcgen
