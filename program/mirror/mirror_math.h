// The mirror window's arithmetic: no platform service, only numbers and text.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrove {

// Whether Ctrl+n applies: n names an existing monitor other than the current one.
bool MonitorCommandApplies(std::int32_t count, std::int32_t number, std::int32_t current);

// The client rectangle's new bottom that gives it the source's aspect ratio
// at its present width. A source without width leaves the bottom as it is.
std::int32_t FittedClientBottom(const Rect& source, const Rect& client);

// The factor that makes the source exactly as wide as the client area; 1 for
// a source without width (there is nothing to scale).
float ZoomForWidth(const Rect& source, std::int32_t clientWidth);

// The magnifier's matrix for a uniform zoom.
MagTransform ZoomTransform(float zoom);

// The description of the display adapter whose device is named `deviceName`,
// searching device indices below `count`; empty when none matches. `query`
// fills the record for an index and returns false past the last device.
std::u16string
FindAdapterDescription(std::int32_t count, std::u16string_view deviceName,
                       const std::function<bool(std::uint32_t, DisplayDevice&)>& query);

std::u16string FormatTitle(std::int32_t number, std::int32_t count,
                           std::u16string_view description);

struct Point {
    std::int32_t x;
    std::int32_t y;
    friend bool operator==(const Point&, const Point&) = default;
};

// Where the icon goes to be centred in the client area of a minimised window.
Point IconOrigin(const Rect& client, std::int32_t iconWidth, std::int32_t iconHeight);

} // namespace kestrove
