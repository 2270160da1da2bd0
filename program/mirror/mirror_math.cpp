#include "program/mirror/mirror_math.h"

#include "common/fixed_text.h"
#include "common/wide_format.h"

#include <cmath>
#include <limits>

namespace kestrove {

bool MonitorCommandApplies(std::int32_t count, std::int32_t number, std::int32_t current) {
    return count >= number && number - 1 != current;
}

std::int32_t FittedClientBottom(const Rect& source, const Rect& client) {
    const std::int32_t srcW = source.right - source.left;
    const std::int32_t srcH = source.bottom - source.top;
    if (srcW == 0) {
        return client.bottom;
    }
    const double height = (static_cast<double>(srcH) / static_cast<double>(srcW)) *
                          (static_cast<double>(client.right) - static_cast<double>(client.left));
    // Truncation toward zero, kept inside the range of the result.
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    const double bottom = static_cast<double>(client.top) + std::trunc(height);
    return static_cast<std::int32_t>(bottom > kMax ? kMax : bottom < kMin ? kMin : bottom);
}

float ZoomForWidth(const Rect& source, std::int32_t clientWidth) {
    const std::int32_t srcW = source.right - source.left;
    if (srcW == 0) {
        return 1.0f;
    }
    return static_cast<float>(static_cast<double>(clientWidth) / static_cast<double>(srcW));
}

MagTransform ZoomTransform(float zoom) {
    MagTransform transform;
    transform.v[0][0] = zoom;
    transform.v[1][1] = zoom;
    transform.v[2][2] = 1.0f;
    return transform;
}

std::u16string
FindAdapterDescription(std::int32_t count, std::u16string_view deviceName,
                       const std::function<bool(std::uint32_t, DisplayDevice&)>& query) {
    std::u16string description;
    DisplayDevice device{};
    device.cb = kDisplayDeviceSize;
    for (std::int32_t index = 0; index < count; ++index) {
        if (!query(static_cast<std::uint32_t>(index), device)) {
            break;
        }
        if (FixedText(device.DeviceName) == deviceName) {
            description = FixedText(device.DeviceString);
        }
    }
    return description;
}

std::u16string FormatTitle(std::int32_t number, std::int32_t count,
                           std::u16string_view description) {
    return WideFormat(u"Kestrove - [%d:%d] %s",
                      {std::int64_t{number}, std::int64_t{count}, description});
}

Point IconOrigin(const Rect& client, std::int32_t iconWidth, std::int32_t iconHeight) {
    const std::int32_t width = client.right - client.left;
    const std::int32_t height = client.bottom - client.top;
    return {(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

} // namespace kestrove
