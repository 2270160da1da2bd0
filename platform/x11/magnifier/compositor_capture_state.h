// Where the compositor frame source stands with the monitor it shows, as one
// state with every transition here: whether the monitor's output is
// captured, asked for or lost; whether the X server still reads the last
// frame; and whether the user is owed a notice. The source does the X and
// compositor work and tells this what happened; nothing here knows X.
#pragma once

#include <variant>

namespace kestrove::x11 {

class CompositorCaptureState {
public:
    // Nothing captured or asked for: before the first monitor, and while the
    // source looks for one.
    struct Idle {};
    // The desktop is asked for the monitor; the mirror stays blank until it
    // answers. `failureTold`: a failure was said meanwhile (the share of
    // another monitor ended), so the next is not said again.
    struct Asking {
        bool failureTold = false;
    };
    // The monitor's output is captured. `firstFrameDue`: nothing of it has
    // been uploaded yet. `stopped`: a failure was said; no more frames are
    // asked for, those that still come are shown.
    struct Capturing {
        bool firstFrameDue = true;
        bool stopped = false;
    };
    // No output for the monitor and the failure said: waits for the
    // compositor's outputs to change.
    struct Lost {};
    using Stage = std::variant<Idle, Asking, Capturing, Lost>;

    // The frames' way to the picture.
    enum class Upload {
        NothingShown, // no frame has reached the picture yet, since the start
        Idle,
        Reading,           // the X server still reads the last frame's memory
        ReadingRequestOwed // and a refresh asked for a frame meanwhile
    };

    Upload upload() const { return m_upload; }

    // The user chose a monitor: false when it is the one already captured or
    // asked for, so nothing starts over. Otherwise the source looks for it
    // (lookingFor() and one of the outcomes after it).
    bool chosen(bool sameMonitor);
    // The source looks for the monitor's output again: what was selected or
    // asked is let go, a failure said stays said.
    void lookingFor();
    // Outcomes of looking.
    void selected();
    void asking();
    // Not found, looked for again only because the outputs changed: the
    // failure was said when the output went away.
    void stillLost();
    // Not found, and no way left to ask: whether it is to be said on
    // standard error (not when said already). The user is owed a notice
    // when nothing was ever shown, or when the monitor was asked for once
    // more before.
    bool unavailable(bool askedBefore);
    // The capture itself failed (the share ended, a protocol error): the
    // user is owed a notice when nothing was shown and nothing said before.
    bool captureFailed();
    // Screens were shared but none can be told to be the monitor: whether
    // to say so (not when `toldBefore` for this monitor). The mirror stays
    // blank though the user agreed: a notice is owed.
    bool unpaired(bool toldBefore);
    // Any other failure (a frame the X server cannot take): said, no notice.
    bool failed();

    // Whether the desktop's answer is awaited.
    bool awaitsAnswer() const { return std::holds_alternative<Asking>(m_stage); }
    // Whether frames that arrive go into the picture.
    bool takesFrames() const { return std::holds_alternative<Capturing>(m_stage); }
    // Whether only a change of the compositor's outputs can bring the
    // monitor back.
    bool waitsForOutputs() const;
    // Whether a failure has been said for this monitor.
    bool failureTold() const;
    bool everShown() const { return m_upload != Upload::NothingShown; }

    // A frame of the output is uploaded: true when it is the output's first,
    // which is a new picture all over whatever its damage says.
    bool firstFrameTaken();
    // The frame's memory was handed to the X server.
    void uploading();
    // The X server has read the frame's memory: true when a refresh asked
    // for a frame meanwhile, to be asked for now.
    bool uploadRead();
    // A refresh wants the next frame: whether to ask the compositor now
    // (else it is owed until the X server has read the last one).
    bool refresh();

    // Once after a notice became due: true.
    bool takeNotice();

private:
    Stage m_stage;
    Upload m_upload = Upload::NothingShown;
    bool m_noticeDue = false;
};

} // namespace kestrove::x11
