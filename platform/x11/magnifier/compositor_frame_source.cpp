#include "platform/x11/magnifier/compositor_frame_source.h"

#include "common/error_line.h"
#include "platform/compositor/output_matching.h"
#include "platform/x11/magnifier/change_list.h"

#include <X11/Xlib-xcb.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>
#include <xcb/shm.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <utility>

namespace kestrove::x11 {

namespace {

constexpr int kDepth = 24;               // frames are XRGB: the alpha byte, if any, is not shown
constexpr std::size_t kChangesKept = 64; // past this, the whole monitor counts as changed

std::vector<compositor::Output> XMonitors(Display* display) {
    std::vector<compositor::Output> monitors;
    int count = 0;
    XRRMonitorInfo* raw = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    for (int i = 0; i < count; ++i) {
        char* name = XGetAtomName(display, raw[i].name);
        monitors.push_back(compositor::Output{
            name != nullptr ? name : "",
            Rect{raw[i].x, raw[i].y, raw[i].x + raw[i].width, raw[i].y + raw[i].height}});
        XFree(name);
    }
    if (raw != nullptr) {
        XRRFreeMonitors(raw);
    }
    return monitors;
}

std::string Describe(const Rect& r) {
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
           std::to_string(r.left) + "+" + std::to_string(r.top);
}

} // namespace

std::unique_ptr<CompositorFrameSource>
CompositorFrameSource::Create(Display* display, std::unique_ptr<compositor::FrameCapture> capture,
                              std::string& reason) {
    int major = 0;
    int minor = 0;
    Bool sharedPixmaps = False;
    if (XShmQueryVersion(display, &major, &minor, &sharedPixmaps) == False ||
        (major == 1 && minor < 2) || major < 1) {
        reason = "the X server cannot attach shared memory by descriptor (MIT-SHM 1.2)";
        return nullptr;
    }
    if (XRenderFindStandardFormat(display, PictStandardRGB24) == nullptr) {
        reason = "the X server has no 24-bit Render format";
        return nullptr;
    }
    const int completionEvent = XShmGetEventBase(display) + ShmCompletion;
    return std::unique_ptr<CompositorFrameSource>(
        new CompositorFrameSource(display, std::move(capture), completionEvent));
}

CompositorFrameSource::CompositorFrameSource(Display* display,
                                             std::unique_ptr<compositor::FrameCapture> capture,
                                             int completionEvent)
    : m_display(display), m_capture(std::move(capture)), m_completionEvent(completionEvent) {
    resizePixmap(1, 1);
}

CompositorFrameSource::~CompositorFrameSource() {
    detach();
    XRenderFreePicture(m_display, m_picture);
    XFreeGC(m_display, m_gc);
    XFreePixmap(m_display, m_pixmap);
}

void CompositorFrameSource::resizePixmap(int width, int height) {
    if (m_pixmap != None) {
        XRenderFreePicture(m_display, m_picture);
        XFreeGC(m_display, m_gc);
        XFreePixmap(m_display, m_pixmap);
    }
    m_width = width;
    m_height = height;
    m_pixmap = XCreatePixmap(m_display, DefaultRootWindow(m_display), static_cast<unsigned>(width),
                             static_cast<unsigned>(height), kDepth);
    XGCValues values{};
    values.graphics_exposures = False;
    m_gc = XCreateGC(m_display, m_pixmap, GCGraphicsExposures, &values);
    m_picture = XRenderCreatePicture(
        m_display, m_pixmap, XRenderFindStandardFormat(m_display, PictStandardRGB24), 0, nullptr);
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(m_display, PictOpSrc, m_picture, &black, 0, 0,
                         static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void CompositorFrameSource::setMonitor(const Rect& monitor) {
    if ((m_selected || m_awaiting) && monitor == m_monitor) {
        return;
    }
    m_monitor = monitor;
    resizePixmap(m_width, m_height); // blank until the output's first frame
    m_everything = true;
    m_changes.clear();
    m_failed = false;
    showMonitor();
}

// A monitor the desktop has not granted is asked for once more (the user may
// have shared only some monitors); the mirror stays blank until the answer.
void CompositorFrameSource::showMonitor() {
    m_selected = false;
    m_awaiting = false;
    std::vector<compositor::Output> monitors = XMonitors(m_display);
    auto shown = std::find_if(monitors.begin(), monitors.end(),
                              [&](const compositor::Output& m) { return m.rect == m_monitor; });
    if (shown == monitors.end()) {
        monitors.push_back(compositor::Output{"", m_monitor});
        shown = monitors.end() - 1;
    }
    const auto matches = compositor::MatchOutputs(monitors, m_capture->outputs());
    const auto output = matches[static_cast<std::size_t>(shown - monitors.begin())];
    if (output && m_capture->select(*output)) {
        m_selected = true;
        m_uploading = false;
        return;
    }
    const bool askedBefore =
        std::find(m_askedFor.begin(), m_askedFor.end(), m_monitor) != m_askedFor.end();
    if (m_capture->asking() || (!askedBefore && m_capture->askForMore())) {
        if (!askedBefore) {
            m_askedFor.push_back(m_monitor);
        }
        m_awaiting = true;
        return;
    }
    std::string problem = m_capture->failure();
    if (problem.empty() && askedBefore) {
        problem = m_capture->declined();
    }
    if (problem.empty()) {
        problem = "no compositor output matches the monitor " +
                  (shown->name.empty() ? std::string() : shown->name + " ") + "at " +
                  Describe(m_monitor);
    }
    m_noticeDue = m_noticeDue || !m_everShown || askedBefore;
    fail(problem);
}

bool CompositorFrameSource::takeNotice() {
    return std::exchange(m_noticeDue, false);
}

bool CompositorFrameSource::handleEvent(const XEvent& event) {
    if (event.type != m_completionEvent) {
        return false;
    }
    const auto& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
    if (completion.shmseg == m_segment && completion.drawable == m_pixmap) {
        m_uploading = false;
        if (m_requestOwed) {
            requestFrame(); // the refresh that found the server still reading
        }
    }
    return true;
}

int CompositorFrameSource::waitDescriptor() const {
    return m_capture->waitDescriptor();
}

bool CompositorFrameSource::dispatch() {
    m_capture->dispatch();
    if (m_awaiting && !m_capture->asking()) {
        showMonitor(); // the desktop has answered
    }
    bool arrived = false;
    if (const compositor::Frame* frame = m_capture->takeFrame(); frame != nullptr && m_selected) {
        arrived = upload(*frame);
    }
    if (const std::string failure = m_capture->failure(); !failure.empty()) {
        m_noticeDue = m_noticeDue || (!m_everShown && !m_failed);
        fail(failure);
    }
    return arrived;
}

void CompositorFrameSource::requestFrame() {
    // The compositor holds the request until the output changes; asking
    // only here, once a refresh, keeps frames no more frequent than
    // refreshes, however soon each is shown after it arrives.
    // While the X server still reads the last frame, the request waits for
    // it to finish, not for the next refresh.
    m_requestOwed = m_uploading;
    if (m_selected && !m_uploading && !m_failed) {
        m_capture->requestFrame();
    }
    m_capture->flush();
}

bool CompositorFrameSource::pending() {
    return m_everything || !m_changes.empty();
}

FrameChanges CompositorFrameSource::takeChanges(const Rect&) {
    // Showing the mirror's own pixels costs little: each repaint of them is
    // a smaller copy than the one before (the mirror scales down what it
    // shows of itself), and the few pixels where the copies end are left
    // out by the magnifier (self_echo.h): on a still screen it comes to rest.
    FrameChanges changes;
    changes.all = m_everything;
    changes.rects = m_changes;
    discard();
    return changes;
}

void CompositorFrameSource::discard() {
    m_everything = false;
    m_changes.clear();
}

bool CompositorFrameSource::attach(const compositor::Frame& frame) {
    detach();
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    // The request takes the descriptor it is given and closes it.
    const int fd = fcntl(frame.fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        fail("cannot share the frames' memory with the X server");
        return false;
    }
    const std::uint32_t segment = xcb_generate_id(connection);
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
        xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, segment, fd, 1)),
        &std::free);
    if (error) {
        fail("the X server refused the frames' shared memory (error " +
             std::to_string(error->error_code) + ")");
        return false;
    }
    m_segment = segment;
    m_attachedBuffer = frame.bufferId;
    return true;
}

void CompositorFrameSource::detach() {
    if (m_segment != 0) {
        xcb_shm_detach(XGetXCBConnection(m_display), m_segment);
        m_segment = 0;
        m_attachedBuffer = 0;
    }
}

bool CompositorFrameSource::upload(const compositor::Frame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.width > SHRT_MAX ||
        frame.height > SHRT_MAX || frame.stride % 4 != 0 || frame.stride / 4 > USHRT_MAX ||
        frame.stride / 4 < frame.width) {
        fail("the compositor sent a frame of " + std::to_string(frame.width) + "x" +
             std::to_string(frame.height) + " the X server cannot take");
        return false;
    }
    if (frame.bufferId != m_attachedBuffer && !attach(frame)) {
        return false;
    }
    if (frame.width != m_width || frame.height != m_height) {
        resizePixmap(frame.width, frame.height);
        m_everything = true;
    }
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    const auto gc = static_cast<xcb_gcontext_t>(XGContextFromGC(m_gc));
    const auto rowPixels = static_cast<std::uint16_t>(frame.stride / 4);
    // Rows of a y-inverted frame are put one by one, bottom row first.
    const int rowsPerPut = frame.yInverted ? 1 : frame.height;
    std::vector<Rect> puts;
    for (const Rect& damaged : frame.damage) {
        const Rect r = Intersection(damaged, Rect{0, 0, frame.width, frame.height});
        for (int top = r.top; !IsEmpty(r) && top < r.bottom; top += rowsPerPut) {
            puts.push_back(Rect{r.left, top, r.right, std::min(r.bottom, top + rowsPerPut)});
        }
    }
    for (std::size_t i = 0; i < puts.size(); ++i) {
        const Rect& r = puts[i];
        const int sourceTop = frame.yInverted ? frame.height - 1 - r.top : r.top;
        const bool last = i + 1 == puts.size();
        xcb_shm_put_image(
            connection, static_cast<xcb_drawable_t>(m_pixmap), gc, rowPixels,
            static_cast<std::uint16_t>(frame.height), static_cast<std::uint16_t>(r.left),
            static_cast<std::uint16_t>(sourceTop), static_cast<std::uint16_t>(r.right - r.left),
            static_cast<std::uint16_t>(r.bottom - r.top), static_cast<std::int16_t>(r.left),
            static_cast<std::int16_t>(r.top), kDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, last ? 1 : 0,
            m_segment, static_cast<std::uint32_t>(frame.offset));
    }
    if (!puts.empty()) {
        m_everShown = true;
        m_uploading = true; // until the X server says it has read the memory
        xcb_flush(connection);
        noteChanges(frame);
    }
    return !puts.empty() || m_everything;
}

void CompositorFrameSource::noteChanges(const compositor::Frame& frame) {
    for (const Rect& damaged : frame.damage) {
        const Rect r = Intersection(damaged, Rect{0, 0, frame.width, frame.height});
        if (IsEmpty(r)) {
            continue;
        }
        const int top = frame.yInverted ? frame.height - r.bottom : r.top;
        const int bottom = frame.yInverted ? frame.height - r.top : r.bottom;
        m_changes.push_back(Rect{r.left, top, r.right, bottom});
    }
    if (m_changes.size() > kChangesKept) {
        m_everything = true;
        m_changes.clear();
    }
}

void CompositorFrameSource::fail(const std::string& problem) {
    if (m_failed) {
        return;
    }
    m_failed = true;
    // A capture that has ended stays ended: another monitor does not say it again.
    if (problem != m_said) {
        PrintErrorLine(
            (m_everShown ? "the mirror stops showing the desktop: " : "the mirror stays blank: ") +
            problem);
        m_said = problem;
    }
}

} // namespace kestrove::x11
