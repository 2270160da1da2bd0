// Where the magnifier's picture comes from: the pixels of the monitor being
// shown, held in an X picture that the scale plan reads, and what changed in
// them. The scale plan, the cursor, the coverage and the refresh logic work
// the same whichever source feeds them.
#pragma once

#include "platform/compositor/change_list.h"
#include "platform/types.h"
#include "platform/x11/monitors/monitor_identity.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <vector>

namespace kestrove::x11 {

// What the user is told, once, when the mirror cannot show the desktop.
enum class CaptureNotice {
    Nothing,
    NoCapture,    // the desktop lets no program capture the screen
    Refused,      // the user did not agree to share it
    CouldNotCast, // the desktop could not start a screen cast
    Unpaired,     // screens were shared, none can be told to be the monitor
};

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // The monitor shown from now on: its name, and its rectangle in root
    // coordinates.
    virtual void setMonitor(const MonitorIdentity& monitor) = 0;
    // Takes the source's own X events (damage reports, ...); true when the
    // event was the source's.
    virtual bool handleEvent(const XEvent& event) = 0;
    // Once per refresh: asks for the next frame, where frames are asked for.
    virtual void requestFrame() {}
    // Whether anything may have changed since the last look. Cheap: no
    // round trip to the server.
    virtual bool pending() = 0;
    // What changed in the monitor, in the picture's coordinates (everything:
    // the whole picture is read again); picture() then holds it. `ownWindow` (root
    // coordinates) is the mirror's own window: what the mirror drew there
    // itself is left out where the source can tell it from what others draw
    // (the mirror would otherwise repaint forever), and shown where it
    // cannot. The source starts over: what changes from now on is reported
    // next time.
    virtual ChangeList takeChanges(const Rect& ownWindow) = 0;
    // Forgets what changed so far: the caller is about to read everything.
    virtual void discard() = 0;

    // The picture holding the monitor, and where the monitor lies in it (in
    // the picture's pixels: a scaled output has more than its rectangle).
    virtual Picture picture() const = 0;
    virtual Rect area() const = 0;
    // Whether the cursor is already in the picture (a compositor drew it);
    // otherwise the magnifier draws it.
    virtual bool includesCursor() const = 0;

    // A descriptor for the event loop to wait on beside the X connection, -1
    // when there is none, and what to do when it is readable: true when a
    // frame asked for arrived, to be shown at once.
    virtual int waitDescriptor() const { return -1; }
    virtual bool dispatch() { return false; }
    // Once after the source found that it cannot show the desktop for a
    // reason the user should be told (the share was refused), that reason.
    virtual CaptureNotice takeNotice() { return CaptureNotice::Nothing; }
};

} // namespace kestrove::x11
