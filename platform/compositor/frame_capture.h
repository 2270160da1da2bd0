// Pictures of whole monitors handed over by the compositor in shared memory.
// On a Wayland session the X server's root window (XWayland's) holds only the
// X clients' windows, never the desktop, so the mirror's pixels must come from
// the compositor itself. Nothing here knows X: the X11 magnifier attaches the
// memory to the X server and uploads what changed.
#pragma once

#include "platform/compositor/frame_transform.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrove::compositor {

// One monitor as the compositor lays it out.
struct Output {
    std::string name;   // connector name ("HDMI-A-1"); empty when the compositor names none
    Rect rect;          // logical position and size in the compositor's layout
    bool placed = true; // false: only the size is known (rect starts at 0,0)
    friend bool operator==(const Output&, const Output&) = default;
};

// DRM fourcc codes of the 32-bit formats a frame may come in: in memory
// (little-endian) blue, green, red, then padding or alpha.
constexpr std::uint32_t kFormatXrgb8888 = 0x34325258; // "XR24"
constexpr std::uint32_t kFormatArgb8888 = 0x34325241; // "AR24"

// A picture of the selected output in shared memory.
struct Frame {
    int fd = -1;            // shareable memory (a memfd) holding the pixels; owned by the capture
    std::size_t fdSize = 0; // bytes of fd that may be mapped
    std::size_t offset = 0; // of the first row in fd
    int width = 0;          // in pixels of the buffer (a scaled output has more than its rect)
    int height = 0;
    int stride = 0;           // bytes per row
    std::uint32_t format = 0; // kFormat*
    bool yInverted = false;   // rows stored bottom first
    // How the stored picture is turned or flipped (before any y-inversion);
    // width and height above are the stored ones.
    FrameTransform transform = FrameTransform::Normal;
    // Changes whenever fd or the layout above changes, so that the receiver
    // attaches the memory once per buffer and not once per frame.
    std::uint64_t bufferId = 0;
    // What changed since the previous frame handed out, in buffer pixels; the
    // whole frame for the first frame and after a change of buffer.
    std::vector<Rect> damage;
};

// Who declined to share the screen, where someone did.
enum class Refusal {
    Nobody,
    User,    // the user said no (the desktop's dialog cancelled)
    Desktop, // the desktop could not start a screen cast
};

class FrameCapture {
public:
    virtual ~FrameCapture() = default;

    // A descriptor that becomes readable when the compositor has something to
    // say; the event loop waits on it beside the X connection.
    virtual int waitDescriptor() const = 0;
    // Reads and handles what has arrived. Never blocks.
    virtual void dispatch() = 0;
    // Sends what is queued; called before each wait.
    virtual void flush() = 0;

    virtual const std::vector<Output>& outputs() const = 0;
    // Captures output `index` from now on; false when there is no such output.
    virtual bool select(std::size_t index) = 0;
    // Asks for the next frame of the selected output, sent once something on
    // it changes; at most one request is outstanding.
    virtual void requestFrame() = 0;
    // The newest frame not yet taken, or nullptr. Its memory stays valid and
    // unchanged until the next takeFrame(), select() or the capture's end.
    virtual const Frame* takeFrame() = 0;
    // Why capturing stopped for good (stream ended, protocol error, the
    // desktop refused); empty while it works.
    virtual std::string failure() const = 0;

    // Where the desktop grants monitors by the user's consent: true while an
    // answer is awaited (outputs() may grow when it comes).
    virtual bool asking() const { return false; }
    // Asks the desktop once more, for monitors it has not granted; false
    // when this capture cannot ask. The answer comes through dispatch():
    // more outputs, or declined() says why none.
    virtual bool askForMore() { return false; }
    virtual std::string declined() const { return {}; }
    // Who declined, when failure() or declined() comes from a refusal.
    virtual Refusal refusal() const { return Refusal::Nobody; }
};

} // namespace kestrove::compositor
