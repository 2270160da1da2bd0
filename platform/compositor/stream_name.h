// What a screen-cast stream's PipeWire node name tells of what it shows.
// KWin names each stream's node "kwin-screencast-<output name>" (the name
// XWayland gives that RandR monitor) and a stream of a region, such as the
// whole workspace, "kwin-screencast-<x>,<y> <width>x<height>". It is KWin's
// own habit, not the portal's: a name that says nothing leaves the stream as
// it was.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <string_view>

namespace kestrove::compositor {

// Names `stream` after the output its node's media name names, or places it
// at the region it names.
void DescribeByNodeName(std::string_view mediaName, Output& stream);

// Whether the node is KWin's stream of a region. KWin 6.3 marks as changed in
// it the part each output repainted as if that output lay at the region's
// corner (every frame of a two-output workspace says 0,0 1280x720): a change
// on another output falls outside, so such frames are taken whole.
bool IsKwinRegion(std::string_view mediaName);

} // namespace kestrove::compositor
