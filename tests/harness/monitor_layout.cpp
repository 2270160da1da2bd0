#include "tests/harness/monitor_layout.h"

#include <charconv>

namespace kestrove::e2e {

namespace {

// Reads an unsigned decimal number at the front of `text` and drops it.
std::optional<int> TakeNumber(std::string_view& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() || text.front() == '-') {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// Reads "+N" or "-N" at the front of `text` and drops it.
std::optional<int> TakeOffset(std::string_view& text) {
    if (text.empty() || (text.front() != '+' && text.front() != '-')) {
        return std::nullopt;
    }
    const bool negative = text.front() == '-';
    text.remove_prefix(1);
    const auto number = TakeNumber(text);
    if (!number) {
        return std::nullopt;
    }
    return negative ? -*number : *number;
}

} // namespace

std::optional<MonitorGeometry> ParseMonitorGeometry(std::string_view text) {
    MonitorGeometry geometry;
    if (!text.empty() && text.back() == '*') {
        geometry.primary = true;
        text.remove_suffix(1);
    }
    const auto width = TakeNumber(text);
    if (!width || text.empty() || text.front() != 'x') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    const auto height = TakeNumber(text);
    const auto x = height ? TakeOffset(text) : std::nullopt;
    const auto y = x ? TakeOffset(text) : std::nullopt;
    if (!y || !text.empty() || *width <= 0 || *height <= 0) {
        return std::nullopt;
    }
    geometry.width = *width;
    geometry.height = *height;
    geometry.x = *x;
    geometry.y = *y;
    return geometry;
}

std::string FormatMonitorGeometry(const MonitorGeometry& geometry) {
    const auto offset = [](int value) {
        return std::string(value < 0 ? "-" : "+")
            .append(std::to_string(value < 0 ? -value : value));
    };
    return std::to_string(geometry.width) + "x" + std::to_string(geometry.height) +
           offset(geometry.x) + offset(geometry.y) + (geometry.primary ? "*" : "");
}

Rgb PatternColour(int index, int column, int row) {
    // 64 colours from four levels per channel, none of them black or white (a
    // blank window); a monitor takes 16, spread so that neighbouring blocks
    // differ in more than one channel.
    const int block = row * kPatternBlocks + column;
    const int code = (index * 16 + block * 7) % 64;
    const auto level = [](int bits) { return static_cast<std::uint8_t>(40 + (bits & 3) * 65); };
    return Rgb{level(code), level(code >> 2), level(code >> 4)};
}

} // namespace kestrove::e2e
