// The mouse cursor as the mirror shows it: the server's current cursor image
// (XFixes), drawn scaled over the picture where it lies in the source.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

namespace kestrove::x11 {

class CursorOverlay {
public:
    // `inputOpcode` is the X Input extension's (version 2); 0 without it.
    CursorOverlay(Display* display, int fixesEventBase, int inputOpcode);
    ~CursorOverlay();
    CursorOverlay(const CursorOverlay&) = delete;
    CursorOverlay& operator=(const CursorOverlay&) = delete;

    // Notes a change of the cursor image or a motion of the pointer. Every
    // mirror wants these events, so no mirror claims them.
    void handleEvent(const XEvent& event);
    // Whether the pointer may have moved or the image changed since the last
    // pointerAt(): asking the server where the pointer is costs a round trip,
    // which a still screen should not pay 20 times a second.
    bool dueForLocate();
    // Where the pointer is now (root coordinates; not visible when it is on
    // another screen).
    void pointerAt(int x, int y, bool visible);
    // True when what shows of the cursor in `source`, with the pointer where
    // it is now, differs from what the last draw() put there.
    bool changedIn(const Rect& source) const;
    // Whether the cursor shows in `source` with the pointer where it is now.
    bool showsIn(const Rect& source) const { return visibleIn(m_now, source); }
    // Draws the cursor over `target`, which shows `source` at `zoom`.
    void draw(Picture target, const Rect& source, double zoom);

private:
    struct Shown {
        int x = 0;
        int y = 0;
        unsigned long serial = 0;
        bool visible = false;
    };
    bool loadImage();
    bool visibleIn(const Shown& state, const Rect& source) const;
    void releaseImage();
    void watchMotion(bool watch);

    Display* m_display;
    int m_fixesEventBase;
    int m_inputOpcode;
    bool m_watchingMotion = false;
    bool m_lookAgain = true;    // the pointer moved or the image changed
    int m_quietLooks = 0;       // dueForLocate() calls since the last pointerAt()
    unsigned long m_serial = 0; // of the latest image the server announced
    bool m_imageStale = true;
    Pixmap m_pixmap = None;
    Picture m_picture = None;
    int m_width = 0;
    int m_height = 0;
    int m_hotX = 0;
    int m_hotY = 0;
    unsigned long m_imageSerial = 0;
    Shown m_now;   // from the latest pointerAt()
    Shown m_drawn; // what the picture shows
};

} // namespace kestrove::x11
