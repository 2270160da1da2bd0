#include "platform/x11/magnifier/compositor_frame_source.h"

#include "common/error_line.h"
#include "platform/compositor/output_matching.h"
#include "platform/compositor/stream_area.h"

#include <X11/Xlib-xcb.h>
#include <X11/extensions/XShm.h>
#include <xcb/shm.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <utility>

namespace kestrove::x11 {

namespace {

constexpr int kDepth = 24; // frames are XRGB: the alpha byte, if any, is not shown

std::string Describe(const Rect& r) {
    return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
           std::to_string(r.left) + "+" + std::to_string(r.top);
}

} // namespace

std::unique_ptr<CompositorFrameSource>
CompositorFrameSource::Open(Display* display, std::unique_ptr<compositor::FrameCapture> capture,
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
    releaseStored();
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

void CompositorFrameSource::setMonitor(const MonitorIdentity& monitor) {
    if (!m_state.chosen(monitor == m_monitor)) {
        return;
    }
    m_monitor = monitor;
    m_outputName.clear();
    resizePixmap(m_width, m_height); // blank until the output's first frame
    m_changes.addEverything();
    showMonitor(false);
}

Rect CompositorFrameSource::area() const {
    std::vector<Rect> monitors{m_monitor.rect};
    for (const MonitorIdentity& other : m_monitor.others) {
        monitors.push_back(other.rect);
    }
    return compositor::StreamArea(m_width, m_height, m_monitor.rect,
                                  compositor::DesktopOf(monitors));
}

std::vector<compositor::Output> CompositorFrameSource::monitors() const {
    std::vector<compositor::Output> monitors{{m_monitor.name, m_monitor.rect}};
    for (const MonitorIdentity& other : m_monitor.others) {
        monitors.push_back({other.name, other.rect});
    }
    return monitors;
}

bool CompositorFrameSource::unpairedOutput() const {
    std::vector<bool> paired(m_outputsSeen.size(), false);
    for (const auto& match : compositor::MatchOutputs(monitors(), m_outputsSeen)) {
        if (match) {
            paired[*match] = true;
        }
    }
    return std::find(paired.begin(), paired.end(), false) != paired.end();
}

std::optional<std::size_t> CompositorFrameSource::findOutput() const {
    // The output shown before, by the compositor's name for it: it may come
    // back elsewhere or in another size.
    if (!m_outputName.empty()) {
        const auto same =
            std::find_if(m_outputsSeen.begin(), m_outputsSeen.end(),
                         [&](const compositor::Output& o) { return o.name == m_outputName; });
        if (same == m_outputsSeen.end()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(same - m_outputsSeen.begin());
    }
    return compositor::MatchOutputs(monitors(), m_outputsSeen).front();
}

// A monitor the desktop has not granted is asked for once more (the user may
// have shared only some monitors); the mirror stays blank until the answer.
void CompositorFrameSource::showMonitor(bool quietly) {
    m_state.lookingFor();
    m_outputsSeen = m_capture->outputs();
    const std::optional<std::size_t> output = findOutput();
    if (output && m_capture->select(*output)) {
        m_outputName = m_outputsSeen[*output].name;
        m_state.selected();
        // A stream kept from the monitor before has its last frame at hand;
        // a still desktop would send no other.
        if (const compositor::Frame* frame = m_capture->takeFrame()) {
            upload(*frame);
        }
        return;
    }
    if (quietly) {
        m_state.stillLost(); // still away: it was said when it went
        return;
    }
    const Rect& place = m_monitor.rect;
    const std::string monitorName =
        "the monitor " + (m_monitor.name.empty() ? std::string() : m_monitor.name + " ") + "at " +
        Describe(place);
    // A monitor the user may have shared is not asked for again: a second
    // dialog would not tell which stream it is either. Said once for each
    // monitor: choosing it again changes nothing.
    if (!m_capture->asking() && m_capture->failure().empty() && unpairedOutput()) {
        const bool told =
            std::find(m_unpairedTold.begin(), m_unpairedTold.end(), place) != m_unpairedTold.end();
        if (m_state.unpaired(told)) {
            m_unpairedTold.push_back(place);
            say("cannot tell which of the screens shared shows " + monitorName);
        }
        return;
    }
    const bool askedBefore =
        std::find(m_askedFor.begin(), m_askedFor.end(), place) != m_askedFor.end();
    if (m_capture->asking() || (!askedBefore && m_capture->askForMore())) {
        if (!askedBefore) {
            m_askedFor.push_back(place);
        }
        m_state.asking();
        return;
    }
    std::string problem = m_capture->failure();
    if (problem.empty() && askedBefore) {
        problem = m_capture->declined();
    }
    if (problem.empty()) {
        problem = "no compositor output matches " + monitorName;
    }
    if (m_state.unavailable(askedBefore)) {
        say(problem);
    }
}

void CompositorFrameSource::reselectWhenBack() {
    // The outputs changing is the only news that can end a failure here: an
    // output came back or a monitor's output appeared.
    if (!m_state.waitsForOutputs() || m_capture->outputs() == m_outputsSeen) {
        return;
    }
    showMonitor(true);
}

CaptureNotice CompositorFrameSource::takeNotice() {
    if (!m_state.takeNotice()) {
        return CaptureNotice::Nothing;
    }
    switch (m_capture->refusal()) {
    case compositor::Refusal::User:
        return CaptureNotice::Refused;
    case compositor::Refusal::Desktop:
        return CaptureNotice::CouldNotCast;
    case compositor::Refusal::Nobody:
        break;
    }
    return m_unpairedTold.empty() ? CaptureNotice::NoCapture : CaptureNotice::Unpaired;
}

bool CompositorFrameSource::handleEvent(const XEvent& event) {
    if (event.type != m_completionEvent) {
        return false;
    }
    const auto& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
    if (completion.shmseg == m_segment &&
        (completion.drawable == m_pixmap || completion.drawable == m_stored)) {
        if (m_state.uploadRead()) {
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
    if (m_state.awaitsAnswer() && !m_capture->asking()) {
        showMonitor(false); // the desktop has answered
    }
    reselectWhenBack();
    bool arrived = false;
    if (const compositor::Frame* frame = m_capture->takeFrame();
        frame != nullptr && m_state.takesFrames()) {
        arrived = upload(*frame);
        // Showing again: the next time it goes away is told again.
        m_said.clear();
    }
    if (const std::string failure = m_capture->failure(); !failure.empty()) {
        if (m_state.captureFailed()) {
            say(failure);
        }
    }
    return arrived;
}

void CompositorFrameSource::requestFrame() {
    // The compositor holds the request until the output changes; asking
    // only here, once a refresh, keeps frames no more frequent than
    // refreshes, however soon each is shown after it arrives.
    // While the X server still reads the last frame, the request waits for
    // it to finish, not for the next refresh.
    if (m_state.refresh()) {
        m_capture->requestFrame();
    }
    m_capture->flush();
}

bool CompositorFrameSource::pending() {
    return !m_changes.empty();
}

ChangeList CompositorFrameSource::takeChanges(const Rect&) {
    // The mirror's own pixels come back here as changes after each repaint;
    // the magnifier follows them and ends their echoes after a few rounds
    // (self_echo.h): on a still screen it comes to rest.
    ChangeList changes = m_changes;
    discard();
    return changes;
}

void CompositorFrameSource::discard() {
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
        frame.stride / 4 < frame.width || frame.offset > UINT32_MAX) {
        fail("the compositor sent a frame of " + std::to_string(frame.width) + "x" +
             std::to_string(frame.height) + " the X server cannot take");
        return false;
    }
    if (frame.bufferId != m_attachedBuffer && !attach(frame)) {
        return false;
    }
    using compositor::FrameTransform;
    const FrameTransform transform =
        frame.yInverted ? compositor::WithRowsInverted(frame.transform) : frame.transform;
    const bool upright = transform == FrameTransform::Normal;
    const int width = compositor::SwapsAxes(transform) ? frame.height : frame.width;
    const int height = compositor::SwapsAxes(transform) ? frame.width : frame.height;
    if (width != m_width || height != m_height) {
        resizePixmap(width, height);
        m_changes.addEverything();
    }
    // The first frame of an output is a new picture all over, whatever its
    // damage says: the picture shown until then was another.
    if (m_state.firstFrameTaken()) {
        m_changes.addEverything();
    }
    if (upright) {
        releaseStored();
    } else {
        prepareStored(frame, transform);
    }
    const Rect whole{0, 0, frame.width, frame.height};
    std::vector<Rect> puts;
    for (const Rect& damaged : frame.damage) {
        if (const Rect r = Intersection(damaged, whole); !IsEmpty(r)) {
            puts.push_back(r);
        }
    }
    if (puts.empty()) {
        return m_changes.everything();
    }
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    const Pixmap target = upright ? m_pixmap : m_stored;
    const auto gc = static_cast<xcb_gcontext_t>(XGContextFromGC(upright ? m_gc : m_storedGc));
    const auto rowPixels = static_cast<std::uint16_t>(frame.stride / 4);
    for (std::size_t i = 0; i < puts.size(); ++i) {
        const Rect& r = puts[i];
        const bool last = i + 1 == puts.size();
        xcb_shm_put_image(
            connection, static_cast<xcb_drawable_t>(target), gc, rowPixels,
            static_cast<std::uint16_t>(frame.height), static_cast<std::uint16_t>(r.left),
            static_cast<std::uint16_t>(r.top), static_cast<std::uint16_t>(r.right - r.left),
            static_cast<std::uint16_t>(r.bottom - r.top), static_cast<std::int16_t>(r.left),
            static_cast<std::int16_t>(r.top), kDepth, XCB_IMAGE_FORMAT_Z_PIXMAP, last ? 1 : 0,
            m_segment, static_cast<std::uint32_t>(frame.offset));
    }
    m_state.uploading(); // until the X server says it has read the memory
    xcb_flush(connection);
    for (const Rect& r : puts) {
        const Rect turned = compositor::StoredToUpright(transform, r, frame.width, frame.height);
        if (!upright) {
            // The transform on the stored picture reads, for each upright
            // pixel, the stored pixel it came from.
            XRenderComposite(m_display, PictOpSrc, m_storedPicture, None, m_picture, turned.left,
                             turned.top, 0, 0, turned.left, turned.top,
                             static_cast<unsigned>(turned.right - turned.left),
                             static_cast<unsigned>(turned.bottom - turned.top));
        }
        m_changes.add(turned);
    }
    return true;
}

void CompositorFrameSource::prepareStored(const compositor::Frame& frame,
                                          compositor::FrameTransform transform) {
    if (m_stored == None || frame.width != m_storedWidth || frame.height != m_storedHeight) {
        releaseStored();
        m_storedWidth = frame.width;
        m_storedHeight = frame.height;
        m_stored = XCreatePixmap(m_display, DefaultRootWindow(m_display),
                                 static_cast<unsigned>(frame.width),
                                 static_cast<unsigned>(frame.height), kDepth);
        XGCValues values{};
        values.graphics_exposures = False;
        m_storedGc = XCreateGC(m_display, m_stored, GCGraphicsExposures, &values);
        m_storedPicture = XRenderCreatePicture(
            m_display, m_stored, XRenderFindStandardFormat(m_display, PictStandardRGB24), 0,
            nullptr);
        m_storedTransform = compositor::FrameTransform::Normal;
        m_changes.addEverything();
    }
    if (transform != m_storedTransform) {
        m_storedTransform = transform;
        const compositor::UprightToStored map =
            compositor::MapUprightToStored(transform, frame.width, frame.height);
        XTransform matrix{{{XDoubleToFixed(map.xx), XDoubleToFixed(map.xy), XDoubleToFixed(map.dx)},
                           {XDoubleToFixed(map.yx), XDoubleToFixed(map.yy), XDoubleToFixed(map.dy)},
                           {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(m_display, m_storedPicture, &matrix);
    }
}

void CompositorFrameSource::releaseStored() {
    if (m_stored == None) {
        return;
    }
    XRenderFreePicture(m_display, m_storedPicture);
    XFreeGC(m_display, m_storedGc);
    XFreePixmap(m_display, m_stored);
    m_stored = None;
    m_storedPicture = None;
    m_storedGc = None;
    m_storedTransform = compositor::FrameTransform::Normal;
}

void CompositorFrameSource::fail(const std::string& problem) {
    if (m_state.failed()) {
        say(problem);
    }
}

void CompositorFrameSource::say(const std::string& problem) {
    // A capture that has ended stays ended: another monitor does not say it again.
    if (problem != m_said) {
        PrintErrorLine((m_state.everShown() ? "the mirror stops showing the desktop: "
                                            : "the mirror stays blank: ") +
                       problem);
        m_said = problem;
    }
}

} // namespace kestrove::x11
