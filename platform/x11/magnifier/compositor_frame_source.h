// The magnifier's picture on a Wayland session: frames of the monitor's
// output from the compositor. The X server attaches the frames' shared memory
// itself (MIT-SHM 1.2 descriptor passing), and only what changed is put into
// a pixmap that the scale plan reads, so no frame passes through this process.
#pragma once

#include "platform/compositor/change_list.h"
#include "platform/compositor/frame_capture.h"
#include "platform/x11/magnifier/compositor_capture_state.h"
#include "platform/x11/magnifier/frame_source.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrove::x11 {

class CompositorFrameSource final : public FrameSource {
public:
    // Returns nullptr and says why in `reason` when the X server cannot
    // attach shared memory by descriptor.
    static std::unique_ptr<CompositorFrameSource>
    Open(Display* display, std::unique_ptr<compositor::FrameCapture> capture, std::string& reason);
    ~CompositorFrameSource() override;

    void setMonitor(const MonitorIdentity& monitor) override;
    bool handleEvent(const XEvent& event) override;
    void requestFrame() override;
    bool pending() override;
    // Wayland-native windows are unknown to X, so nothing tells what lies
    // above the mirror's window: its rectangle is shown as the compositor
    // shows it, the mirror's own nested picture included.
    ChangeList takeChanges(const Rect& ownWindow) override;
    void discard() override;
    Picture picture() const override { return m_picture; }
    // The monitor's part of a workspace stream, or a stream of another shape
    // fitted (stream_area.h).
    Rect area() const override;
    bool includesCursor() const override { return true; }
    int waitDescriptor() const override;
    bool dispatch() override;
    CaptureNotice takeNotice() override;

private:
    CompositorFrameSource(Display* display, std::unique_ptr<compositor::FrameCapture> capture,
                          int completionEvent);
    // Captures the monitor's output; a failure is said unless `quietly`.
    void showMonitor(bool quietly);
    // The monitor's output among m_outputsSeen.
    std::optional<std::size_t> findOutput() const;
    // Whether some output granted is paired with no monitor: the user shared
    // one the matching could not place.
    bool unpairedOutput() const;
    // The monitor shown, then the others beside it.
    std::vector<compositor::Output> monitors() const;
    // After the output went away: captures it again once it is back.
    void reselectWhenBack();
    // False when nothing of the frame was put into the picture.
    bool upload(const compositor::Frame& frame);
    bool attach(const compositor::Frame& frame);
    void detach();
    void resizePixmap(int width, int height);
    // The pixmap that frames stored turned or flipped land in first.
    void prepareStored(const compositor::Frame& frame, compositor::FrameTransform transform);
    void releaseStored();
    // A failure without a notice for the user: said unless said already.
    void fail(const std::string& problem);
    // Says on standard error why the picture stops changing, unless that
    // was the last thing said.
    void say(const std::string& problem);

    Display* m_display;
    std::unique_ptr<compositor::FrameCapture> m_capture;
    int m_completionEvent; // ShmCompletion's event type
    GC m_gc = None;
    // The monitor upright, as the scale plan reads it.
    Pixmap m_pixmap = None;
    Picture m_picture = None;
    int m_width = 1;
    int m_height = 1;
    // A frame as the compositor stored it, when that is not upright: the
    // server turns it into m_pixmap (Render), so no pixel passes through here.
    Pixmap m_stored = None;
    Picture m_storedPicture = None;
    GC m_storedGc = None;
    int m_storedWidth = 0;
    int m_storedHeight = 0;
    compositor::FrameTransform m_storedTransform = compositor::FrameTransform::Normal;
    MonitorIdentity m_monitor;
    // The compositor's name of the output last captured for the monitor: it
    // finds the output again when it comes back elsewhere or in another size.
    std::string m_outputName;
    std::vector<compositor::Output> m_outputsSeen; // when the output was last looked for
    CompositorCaptureState m_state;
    std::vector<Rect> m_askedFor; // monitors the desktop was asked for once more
    // Monitors said not to be told apart among the screens shared.
    std::vector<Rect> m_unpairedTold;
    std::uint32_t m_segment = 0; // MIT-SHM segment holding the frames' memory
    std::uint64_t m_attachedBuffer = 0;
    // What changed since the last look, in the picture's pixels.
    ChangeList m_changes;
    std::string m_said; // the last problem told
};

} // namespace kestrove::x11
