// A picture that stays black: the mirror where no source of the desktop's
// pixels exists (a Wayland desktop that lets no program capture the screen).
// Nothing ever changes and no cursor is drawn over it.
#pragma once

#include "platform/x11/magnifier/frame_source.h"

namespace kestrove::x11 {

class BlankFrameSource final : public FrameSource {
public:
    explicit BlankFrameSource(Display* display);
    ~BlankFrameSource() override;
    BlankFrameSource(const BlankFrameSource&) = delete;
    BlankFrameSource& operator=(const BlankFrameSource&) = delete;

    void setMonitor(const MonitorIdentity&) override {}
    bool handleEvent(const XEvent&) override { return false; }
    bool pending() override { return false; }
    ChangeList takeChanges(const Rect&) override { return ChangeList{}; }
    void discard() override {}
    Picture picture() const override { return m_picture; }
    Rect area() const override { return Rect{0, 0, 1, 1}; }
    bool includesCursor() const override { return true; }

private:
    Display* m_display;
    Pixmap m_pixmap;
    Picture m_picture;
};

} // namespace kestrove::x11
