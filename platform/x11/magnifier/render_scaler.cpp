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

void RenderScaler::render(Picture source, int left, int top, Picture target) {
    if (m_plan.empty()) {
        return;
    }
    XTransform first = StepTransform(m_plan[0], left, top);
    XRenderSetPictureTransform(m_display, source, &first);
    XRenderSetPictureFilter(m_display, source, FilterBilinear, nullptr, 0);
    Picture input = source;
    for (std::size_t i = 0; i < m_plan.size(); ++i) {
        const bool last = i + 1 == m_plan.size();
        const Picture output = last ? target : m_intermediates[i].picture;
        XRenderComposite(m_display, PictOpSrc, input, None, output, 0, 0, 0, 0, 0, 0,
                         static_cast<unsigned>(m_plan[i].width),
                         static_cast<unsigned>(m_plan[i].height));
        input = output;
    }
}

} // namespace kestrove::x11
