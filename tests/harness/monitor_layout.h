// Virtual monitors for end-to-end runs: how they are written on a command line
// ("WxH+X+Y", a trailing '*' for the primary; offsets may be negative, as in
// "800x600-800+0") and the pattern the monitor fixture paints on each, so a
// test can tell from a few pixels which monitor it sees and whether the whole
// of it was scaled into view.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrove::e2e {

struct MonitorGeometry {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    bool primary = false;
};

std::optional<MonitorGeometry> ParseMonitorGeometry(std::string_view text);
std::string FormatMonitorGeometry(const MonitorGeometry& geometry);

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Each monitor is painted as kPatternBlocks x kPatternBlocks solid blocks.
// Large blocks survive scaling: their centres keep the exact colour.
constexpr int kPatternBlocks = 4;

// The colour of block (column, row) of the monitor given `index`-th on the
// fixture's command line. Every block of the first four monitors has a colour
// of its own; any two colours differ by at least 65 in some channel.
Rgb PatternColour(int index, int column, int row);

// The block of a pattern `size` pixels long that covers pixel `position`.
inline int PatternBlockAt(int position, int size) {
    return position * kPatternBlocks / size;
}

} // namespace kestrove::e2e
