// Runs a scaling plan in the X server: the intermediate pictures live there,
// and no pixel of the source passes through this process.
#pragma once

#include "platform/x11/magnifier/scale_plan.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <vector>

namespace kestrove::x11 {

class RenderScaler {
public:
    // Intermediate pictures are made on `drawable`'s screen, at `depth`, in `format`.
    RenderScaler(Display* display, Drawable drawable, int depth, XRenderPictFormat* format);
    ~RenderScaler();
    RenderScaler(const RenderScaler&) = delete;
    RenderScaler& operator=(const RenderScaler&) = delete;

    // Takes a new plan; the intermediates are kept when their sizes stay.
    void setPlan(std::vector<ScaleStep> plan);
    bool empty() const { return m_plan.empty(); }
    // Draws the plan's picture into `target` (its last step's size at 0, 0),
    // reading `source` from (left, top) on.
    void render(Picture source, int left, int top, Picture target);

private:
    struct Intermediate {
        Pixmap pixmap;
        Picture picture;
    };
    void releaseIntermediates();

    Display* m_display;
    Drawable m_drawable;
    int m_depth;
    XRenderPictFormat* m_format;
    std::vector<ScaleStep> m_plan;
    // Output of step i, for every step but the last (which draws into the target).
    std::vector<Intermediate> m_intermediates;
};

} // namespace kestrove::x11
