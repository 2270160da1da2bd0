// Runs a scaling plan in the X server: the intermediate pictures live there,
// and no pixel of the source passes through this process.
#pragma once

#include "platform/compositor/change_list.h"
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
    // The same picture, drawn again only where it can differ: `changed` are
    // rectangles of the source relative to (left, top); each is carried
    // through every step, and only those areas of the intermediates and the
    // target are drawn. `alsoTarget` are target rectangles to draw again
    // besides. Returns the target's rectangles that were drawn; everything
    // when the changes grew past what is worth keeping apart.
    ChangeList renderChanged(Picture source, int left, int top, Picture target,
                             const std::vector<Rect>& changed, const std::vector<Rect>& alsoTarget);
    // The size of the source the plan reads (the first step's input).
    void setSourceSize(int width, int height);

private:
    struct Intermediate {
        Pixmap pixmap;
        Picture picture;
    };
    void releaseIntermediates();
    void prepareSource(Picture source, int left, int top);
    // Composites a step's output over `area` of it; the step's transform is
    // the input picture's.
    void drawStep(Picture input, Picture output, const Rect& area);

    Display* m_display;
    Drawable m_drawable;
    int m_depth;
    XRenderPictFormat* m_format;
    std::vector<ScaleStep> m_plan;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    // Output of step i, for every step but the last (which draws into the target).
    std::vector<Intermediate> m_intermediates;
};

} // namespace kestrove::x11
