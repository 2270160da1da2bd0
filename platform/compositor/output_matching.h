// Which compositor output each X monitor shows. XWayland names its RandR
// monitors after the compositor's outputs, so names decide; where a name is
// missing or differs, the place and size in the layout do (MatchByPlace),
// then the place with the size as XWayland rounds it.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each of `monitors`, the index of its output in `outputs`, or nothing.
// No output is given to two monitors; a name match wins over a place match.
std::vector<std::optional<std::size_t>> MatchOutputs(const std::vector<Output>& monitors,
                                                     const std::vector<Output>& outputs);

} // namespace kestrove::compositor
