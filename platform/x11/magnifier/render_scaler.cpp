#include "platform/x11/magnifier/render_scaler.h"

namespace kestrove::x11 {

namespace {

XTransform StepTransform(const ScaleStep& step, double dx, double dy) {
    const XFixed scale = XDoubleToFixed(step.scale);
    return XTransform{{{scale, 0, XDoubleToFixed(step.offset + dx)},
                       {0, scale, XDoubleToFixed(step.offset + dy)},
                       {0, 0, XDoubleToFixed(1.0)}}};
}

bool SameSizes(const std::vector<ScaleStep>& a, const std::vector<ScaleStep>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        if (a[i].width != b[i].width || a[i].height != b[i].height) {
            return false;
        }
    }
    return true;
}

} // namespace

RenderScaler::RenderScaler(Display* display, Drawable drawable, int depth,
                           XRenderPictFormat* format)
    : m_display(display), m_drawable(drawable), m_depth(depth), m_format(format) {}

RenderScaler::~RenderScaler() {
    releaseIntermediates();
}

void RenderScaler::releaseIntermediates() {
    for (const Intermediate& i : m_intermediates) {
        XRenderFreePicture(m_display, i.picture);
        XFreePixmap(m_display, i.pixmap);
    }
    m_intermediates.clear();
}

void RenderScaler::setPlan(std::vector<ScaleStep> plan) {
    if (!SameSizes(plan, m_plan)) {
        releaseIntermediates();
        for (std::size_t i = 0; i + 1 < plan.size(); ++i) {
            Intermediate step{};
            step.pixmap = XCreatePixmap(m_display, m_drawable, static_cast<unsigned>(plan[i].width),
                                        static_cast<unsigned>(plan[i].height),
                                        static_cast<unsigned>(m_depth));
            // The next step's samples at the edge read one pixel beyond it:
            // repeat the edge rather than blend in black.
            XRenderPictureAttributes attributes{};
            attributes.repeat = RepeatPad;
            step.picture =
                XRenderCreatePicture(m_display, step.pixmap, m_format, CPRepeat, &attributes);
            XRenderSetPictureFilter(m_display, step.picture, FilterBilinear, nullptr, 0);
            m_intermediates.push_back(step);
        }
    }
    m_plan = std::move(plan);
    for (std::size_t i = 0; i + 1 < m_plan.size(); ++i) {
        XTransform transform = StepTransform(m_plan[i + 1], 0.0, 0.0);
        XRenderSetPictureTransform(m_display, m_intermediates[i].picture, &transform);
    }
}

void RenderScaler::setSourceSize(int width, int height) {
    m_sourceWidth = width;
    m_sourceHeight = height;
}

void RenderScaler::prepareSource(Picture source, int left, int top) {
    XTransform first = StepTransform(m_plan[0], left, top);
    XRenderSetPictureTransform(m_display, source, &first);
    XRenderSetPictureFilter(m_display, source, FilterBilinear, nullptr, 0);
}

void RenderScaler::drawStep(Picture input, Picture output, const Rect& area) {
    // The same source and destination offsets: every output pixel samples
    // where a whole-picture composite would, so the result is the same bits.
    XRenderComposite(m_display, PictOpSrc, input, None, output, area.left, area.top, 0, 0,
                     area.left, area.top, static_cast<unsigned>(area.right - area.left),
                     static_cast<unsigned>(area.bottom - area.top));
}

void RenderScaler::render(Picture source, int left, int top, Picture target) {
    if (m_plan.empty()) {
        return;
    }
    prepareSource(source, left, top);
    Picture input = source;
    for (std::size_t i = 0; i < m_plan.size(); ++i) {
        const Picture output = i + 1 == m_plan.size() ? target : m_intermediates[i].picture;
        drawStep(input, output, Rect{0, 0, m_plan[i].width, m_plan[i].height});
        input = output;
    }
}

ChangeList RenderScaler::renderChanged(Picture source, int left, int top, Picture target,
                                       const std::vector<Rect>& changed,
                                       const std::vector<Rect>& alsoTarget) {
    ChangeList areas;
    for (const Rect& r : changed) {
        areas.add(r);
    }
    if (m_plan.empty()) {
        return areas;
    }
    prepareSource(source, left, top);
    Picture input = source;
    int inWidth = m_sourceWidth;
    int inHeight = m_sourceHeight;
    for (std::size_t i = 0; i < m_plan.size() && !areas.everything(); ++i) {
        const bool last = i + 1 == m_plan.size();
        ChangeList outputAreas;
        for (const Rect& r : areas.rects()) {
            // The source is read as it is around the monitor; intermediates
            // repeat their edges.
            outputAreas.add(StepOutputFor(m_plan[i], r, inWidth, inHeight, i > 0));
        }
        if (last) {
            for (const Rect& r : alsoTarget) {
                outputAreas.add(Intersection(r, Rect{0, 0, m_plan[i].width, m_plan[i].height}));
            }
        }
        const Picture output = last ? target : m_intermediates[i].picture;
        for (const Rect& r : outputAreas.rects()) {
            drawStep(input, output, r);
        }
        areas = std::move(outputAreas);
        input = output;
        inWidth = m_plan[i].width;
        inHeight = m_plan[i].height;
    }
    if (areas.everything()) {
        render(source, left, top, target);
    }
    return areas;
}

} // namespace kestrove::x11
