#include "common/file_stem.h"

namespace kestrove {

std::u16string FileStem(std::u16string_view path) {
    const auto slash = path.find_last_of(u"\\/");
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind(u'.');
    return std::u16string(dot == std::u16string_view::npos ? name : name.substr(0, dot));
}

} // namespace kestrove
