#include "platform/compositor/stream_name.h"

#include <charconv>
#include <optional>

namespace kestrove::compositor {
namespace {

constexpr std::string_view kKwinPrefix = "kwin-screencast-";
constexpr int kLargestCoordinate = 1 << 20;

// Reads a number at the start of `text` and the one character after it, if
// `after` is not 0; false unless both are there.
bool TakeNumber(std::string_view& text, int& value, char after, bool allowSign) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (!allowSign && begin != end && *begin == '-') {
        return false;
    }
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc{} || value < -kLargestCoordinate || value > kLargestCoordinate) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(next - begin));
    if (after == 0) {
        return true;
    }
    if (text.empty() || text.front() != after) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

// "<x>,<y> <width>x<height>", all of it.
std::optional<Rect> Region(std::string_view text) {
    int x = 0, y = 0, width = 0, height = 0;
    if (!TakeNumber(text, x, ',', true) || !TakeNumber(text, y, ' ', true) ||
        !TakeNumber(text, width, 'x', false) || !TakeNumber(text, height, 0, false) ||
        !text.empty() || width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return Rect{x, y, x + width, y + height};
}

} // namespace

void DescribeByNodeName(std::string_view mediaName, Output& stream) {
    if (!mediaName.starts_with(kKwinPrefix) || mediaName.size() == kKwinPrefix.size()) {
        return;
    }
    const std::string_view named = mediaName.substr(kKwinPrefix.size());
    if (const std::optional<Rect> region = Region(named)) {
        stream.rect = *region;
        stream.placed = true;
    } else if (named.find_first_of(" ,") == std::string_view::npos) {
        stream.name = std::string(named);
    }
}

bool IsKwinRegion(std::string_view mediaName) {
    return mediaName.starts_with(kKwinPrefix) &&
           Region(mediaName.substr(kKwinPrefix.size())).has_value();
}

} // namespace kestrove::compositor
