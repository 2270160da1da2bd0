// The magnifier control on X11: a child window whose picture is the source
// rectangle of the screen, taken from a frame source and scaled by the X
// server (Render).
#pragma once

#include "platform/types.h"
#include "platform/x11/magnifier/frame_source.h"
#include "platform/x11/magnifier/magnifier_state.h"
#include "platform/x11/magnifier/self_echo.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrove::x11 {

class CursorOverlay;
class RenderScaler;

class MagnifierWindow {
public:
    // MagInitialize: false when the server lacks what the mirror needs.
    static bool Initialize(Display* display);

    // Creates the child window over `area` of `parent`, mapped; throws
    // std::runtime_error when `parent` is gone. Without a `source` the
    // picture comes from the root window.
    MagnifierWindow(Display* display, Window parent, const Rect& area,
                    std::unique_ptr<FrameSource> source = nullptr);
    ~MagnifierWindow();
    MagnifierWindow(const MagnifierWindow&) = delete;
    MagnifierWindow& operator=(const MagnifierWindow&) = delete;

    Window window() const { return m_window; }
    const Rect& source() const { return m_source; }
    void setSource(const MonitorIdentity& source);
    void setTransform(const MagTransform& transform);
    void move(int x, int y, int width, int height);
    // InvalidateRect: the picture is brought up to date with the source, now.
    void repaint();
    // Events for the child window, or the extension events it asked for;
    // true when the event was the magnifier's.
    bool handleEvent(const XEvent& event);
    // The frame source's own descriptor for the event loop's wait (-1: none),
    // and its handling when readable.
    int waitDescriptor() const;
    void dispatchSource();
    // The source's word that the user should be told it cannot show the desktop.
    CaptureNotice takeNotice() { return m_frames->takeNotice(); }

private:
    void resizeBackBuffer();
    // Places the window in the area it was given, the picture fitted inside.
    void layOut();
    // Draws what changed since the last look, if anything did.
    void update();
    // Leaves out the changes that are echoes of the mirror's own repaints
    // past their last round (self_echo.h); the round of each kept, and where
    // it is on the root, in m_kept.
    void dropSpentEchoes(ChangeList& changes);
    // Whether the cursor the magnifier draws itself moved or changed.
    bool cursorChanged() const;
    // Brings the picture up to date: all of it after a change of size,
    // source or transform, an exposure or a large change; otherwise only
    // where `changes` and the cursor reach.
    void paint(const ChangeList& changes);
    // Reads where the pointer is and tells the cursor; returns where this
    // window is on the root, from the same reply.
    Rect locate();

    Display* m_display;
    Window m_parent;
    Window m_window;
    std::string m_sourceName;
    Rect m_source{};
    MagTransform m_transform{};
    Rect m_area{};       // the client area given to the magnifier
    double m_zoom = 0.0; // the transform's zoom, or less where the picture would not fit
    int m_width = 1;
    int m_height = 1;
    // Without the extensions the picture stays blank (the window's black background).
    bool m_supported = false;
    int m_depth = 0;                             // of the window, as its parent's
    XRenderPictFormat* m_windowFormat = nullptr; // of the window's visual
    MagnifierState m_state;
    Rect m_planArea{}; // the frame source's area the scale plan was made for
    Rect m_onRoot{};   // where the window was when last located
    SelfEcho m_echo;   // what the last paint drew, and why
    struct KeptChange {
        Rect onRoot;
        SelfEcho::Round round; // of its echo (self_echo.h)
    };
    std::vector<KeptChange> m_kept;  // of the changes being painted, in their order
    std::vector<Rect> m_cursorDrawn; // where it drew the cursor and under it, root coordinates
    Picture m_windowPicture = None;
    Pixmap m_back = None; // where the picture is composed when the cursor is over it
    Picture m_backPicture = None;
    GC m_gc = None;
    std::unique_ptr<RenderScaler> m_scaler;
    std::unique_ptr<FrameSource> m_frames;
    std::unique_ptr<CursorOverlay> m_cursor;
};

} // namespace kestrove::x11
