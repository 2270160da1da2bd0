#include "platform/x11/magnifier/magnifier_window.h"

#include "platform/compositor/change_list.h"
#include "platform/x11/magnifier/cursor_overlay.h"
#include "platform/x11/magnifier/picture_fit.h"
#include "platform/x11/magnifier/render_scaler.h"
#include "platform/x11/magnifier/root_frame_source.h"
#include "platform/x11/magnifier/scale_plan.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace kestrove::x11 {

namespace {

struct Extensions {
    bool present = false;
    int fixesEventBase = 0;
    int damageEventBase = 0;
    int inputOpcode = 0; // X Input 2, to hear of pointer motion; optional
};

// Render 0.6 brought transforms and filters; XFixes the cursor image; Damage the
// reports the refresh relies on to skip unchanged frames.
Extensions QueryExtensions(Display* display) {
    Extensions found;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRenderQueryExtension(display, &eventBase, &errorBase) ||
        !XRenderQueryVersion(display, &major, &minor) || (major == 0 && minor < 6)) {
        return found;
    }
    if (!XFixesQueryExtension(display, &found.fixesEventBase, &errorBase) ||
        !XFixesQueryVersion(display, &major, &minor) || major < 2) {
        return found;
    }
    if (!XDamageQueryExtension(display, &found.damageEventBase, &errorBase) ||
        !XDamageQueryVersion(display, &major, &minor) || major < 1) {
        return found;
    }
    int inputEvent = 0;
    int inputMajor = 2;
    int inputMinor = 0;
    if (XQueryExtension(display, "XInputExtension", &found.inputOpcode, &inputEvent, &errorBase) ==
            False ||
        XIQueryVersion(display, &inputMajor, &inputMinor) != Success) {
        found.inputOpcode = 0; // the cursor is then looked up at every refresh
    }
    found.present = true;
    return found;
}

// Sizes and positions the server can take (16-bit coordinates).
bool Showable(const Rect& source) {
    const long long width = static_cast<long long>(source.right) - source.left;
    const long long height = static_cast<long long>(source.bottom) - source.top;
    return width > 0 && height > 0 && width <= SHRT_MAX && height <= SHRT_MAX &&
           source.left >= SHRT_MIN && source.left <= SHRT_MAX && source.top >= SHRT_MIN &&
           source.top <= SHRT_MAX;
}

int Extent(int size) {
    return std::clamp(size, 1, static_cast<int>(SHRT_MAX));
}

// Past this share of the monitor changed, one pass over everything costs less
// than the changed areas one by one.
constexpr double kWholeFrameShare = 0.5;

bool WorthWholeFrame(const ChangeList& changes, const Rect& area) {
    long long changed = 0;
    for (const Rect& r : changes.rects()) {
        changed += Area(r);
    }
    return static_cast<double>(changed) > kWholeFrameShare * static_cast<double>(Area(area));
}

// How far past the cursor's own area its repaint reaches on the root: the
// smoothing filter's footprint around the picture redrawn under it.
constexpr int kCursorReach = 2;

bool SameTransform(const MagTransform& a, const MagTransform& b) {
    return std::equal(&a.v[0][0], &a.v[0][0] + 9, &b.v[0][0]);
}

} // namespace

bool MagnifierWindow::Initialize(Display* display) {
    return QueryExtensions(display).present;
}

MagnifierWindow::MagnifierWindow(Display* display, Window parent, const Rect& area,
                                 std::unique_ptr<FrameSource> source)
    : m_display(display), m_parent(parent), m_area(area), m_width(Extent(area.right - area.left)),
      m_height(Extent(area.bottom - area.top)) {
    XWindowAttributes parentAttributes{};
    XWindowAttributes rootAttributes{};
    Window root = DefaultRootWindow(display);
    if (XGetWindowAttributes(display, parent, &parentAttributes) == 0 ||
        XGetWindowAttributes(display, root, &rootAttributes) == 0) {
        throw std::runtime_error("the parent window is gone");
    }
    const Extensions extensions = QueryExtensions(display);
    XRenderPictFormat* rootFormat = nullptr;
    if (extensions.present) {
        rootFormat = XRenderFindVisualFormat(display, rootAttributes.visual);
        m_windowFormat = XRenderFindVisualFormat(display, parentAttributes.visual);
    }
    m_supported = rootFormat != nullptr && m_windowFormat != nullptr;
    m_depth = parentAttributes.depth;

    XSetWindowAttributes attributes{};
    unsigned long mask = CWBorderPixel | CWBitGravity | CWEventMask;
    if (m_supported) {
        // No background: the server must not clear what the next copy covers anyway.
        attributes.background_pixmap = None;
        mask |= CWBackPixmap;
    } else {
        attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
        mask |= CWBackPixel;
    }
    attributes.border_pixel = 0;
    attributes.bit_gravity = NorthWestGravity; // keep the picture while a resize is pending
    attributes.event_mask = ExposureMask | StructureNotifyMask | VisibilityChangeMask;
    m_window = XCreateWindow(display, parent, area.left, area.top, static_cast<unsigned>(m_width),
                             static_cast<unsigned>(m_height), 0, m_depth, InputOutput,
                             parentAttributes.visual, mask, &attributes);

    if (m_supported) {
        m_frames = source ? std::move(source)
                          : std::make_unique<RootFrameSource>(display, extensions.damageEventBase,
                                                              rootFormat);
        m_scaler = std::make_unique<RenderScaler>(display, root, rootAttributes.depth, rootFormat);
        m_cursor = std::make_unique<CursorOverlay>(display, extensions.fixesEventBase,
                                                   extensions.inputOpcode);
        XGCValues values{};
        values.graphics_exposures = False;
        m_gc = XCreateGC(display, m_window, GCGraphicsExposures, &values);
        m_windowPicture = XRenderCreatePicture(display, m_window, m_windowFormat, 0, nullptr);
        resizeBackBuffer();
    }
    XMapWindow(display, m_window);
}

MagnifierWindow::~MagnifierWindow() {
    if (m_supported) {
        m_cursor.reset();
        m_frames.reset();
        m_scaler.reset();
        XRenderFreePicture(m_display, m_backPicture);
        XFreePixmap(m_display, m_back);
        XFreeGC(m_display, m_gc);
        if (!m_state.gone()) {
            XRenderFreePicture(m_display, m_windowPicture);
        }
    }
    if (!m_state.gone()) {
        XDestroyWindow(m_display, m_window);
    }
}

void MagnifierWindow::resizeBackBuffer() {
    if (m_back != None) {
        XRenderFreePicture(m_display, m_backPicture);
        XFreePixmap(m_display, m_back);
    }
    m_back = XCreatePixmap(m_display, m_window, static_cast<unsigned>(m_width),
                           static_cast<unsigned>(m_height), static_cast<unsigned>(m_depth));
    m_backPicture = XRenderCreatePicture(m_display, m_back, m_windowFormat, 0, nullptr);
}

void MagnifierWindow::setSource(const MonitorIdentity& source) {
    // Another name at the same place is another monitor: its output is found
    // again. The monitors beside it do not matter once its output is known.
    if (source.name != m_sourceName || !(source.rect == m_source)) {
        m_sourceName = source.name;
        m_source = source.rect;
        if (m_frames) {
            m_frames->setMonitor(source);
        }
        m_state.changed();
        layOut();
    }
}

void MagnifierWindow::setTransform(const MagTransform& transform) {
    if (!SameTransform(transform, m_transform)) {
        m_transform = transform;
        m_state.changed();
        layOut();
    }
}

void MagnifierWindow::move(int x, int y, int width, int height) {
    m_area = Rect{x, y, x + Extent(width), y + Extent(height)};
    layOut();
}

void MagnifierWindow::layOut() {
    if (m_state.gone()) {
        return;
    }
    // A source the server cannot show is shown blank over the whole area.
    const FittedPicture fitted =
        Showable(m_source) ? FitPicture(m_area, m_source.right - m_source.left,
                                        m_source.bottom - m_source.top, m_transform.v[0][0])
                           : FittedPicture{m_area, m_transform.v[0][0]};
    if (fitted.zoom != m_zoom) {
        m_zoom = fitted.zoom;
        m_state.changed();
    }
    const Rect& placed = fitted.window;
    const int newWidth = Extent(placed.right - placed.left);
    const int newHeight = Extent(placed.bottom - placed.top);
    XMoveResizeWindow(m_display, m_window, placed.left, placed.top, static_cast<unsigned>(newWidth),
                      static_cast<unsigned>(newHeight));
    if (newWidth != m_width || newHeight != m_height) {
        m_width = newWidth;
        m_height = newHeight;
        if (m_supported) {
            resizeBackBuffer();
        }
        m_state.changed();
    }
}

void MagnifierWindow::repaint() {
    if (!m_supported || !m_state.seen()) {
        return; // nothing drawn would show: no scaling until it is seen again
    }
    m_frames->requestFrame();
    update();
}

void MagnifierWindow::update() {
    const bool framesPending = m_frames->pending();
    if (!m_state.stale() && !framesPending && !m_cursor->dueForLocate()) {
        return; // nothing on the screen can have changed
    }
    const Rect self = locate();
    // Our own picture is part of the screen when the mirror shows the monitor
    // it is on: the source tells it from what others draw, as far as it can.
    ChangeList changes;
    m_kept.clear();
    if (framesPending) {
        changes = m_frames->takeChanges(self);
        dropSpentEchoes(changes);
        m_echo.frameTaken();
    }
    if (m_state.stale() || cursorChanged() || !changes.empty()) {
        paint(changes);
    }
}

Rect MagnifierWindow::locate() {
    Window root = None;
    Window child = None;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    const bool sameScreen = XQueryPointer(m_display, m_window, &root, &child, &rootX, &rootY,
                                          &windowX, &windowY, &mask) != False;
    m_cursor->pointerAt(rootX, rootY, sameScreen);
    if (!sameScreen) {
        return Rect{};
    }
    const int left = rootX - windowX;
    const int top = rootY - windowY;
    m_onRoot = Rect{left, top, left + m_width, top + m_height};
    return m_onRoot;
}

void MagnifierWindow::dropSpentEchoes(ChangeList& changes) {
    const Rect area = m_frames->area();
    if (changes.everything() || IsEmpty(area)) {
        return;
    }
    // Changes are in the picture's pixels; the mirror's place is on the root.
    const double toRootX =
        static_cast<double>(m_source.right - m_source.left) / (area.right - area.left);
    const double toRootY =
        static_cast<double>(m_source.bottom - m_source.top) / (area.bottom - area.top);
    const MirrorPlacement placement{m_source, m_onRoot, m_zoom};
    const int lastRound = EchoRounds(placement);
    const auto now = SelfEcho::Clock::now();
    const auto toRoot = [&](const Rect& r) {
        return Rect{m_source.left + static_cast<int>(std::floor((r.left - area.left) * toRootX)),
                    m_source.top + static_cast<int>(std::floor((r.top - area.top) * toRootY)),
                    m_source.left + static_cast<int>(std::ceil((r.right - area.left) * toRootX)),
                    m_source.top + static_cast<int>(std::ceil((r.bottom - area.top) * toRootY))};
    };
    const auto toPicture = [&](const Rect& r) {
        return Rect{area.left + static_cast<int>(std::floor((r.left - m_source.left) / toRootX)),
                    area.top + static_cast<int>(std::floor((r.top - m_source.top) / toRootY)),
                    area.left + static_cast<int>(std::ceil((r.right - m_source.left) / toRootX)),
                    area.top + static_cast<int>(std::ceil((r.bottom - m_source.top) / toRootY))};
    };
    std::vector<Rect> kept;
    for (const Rect& r : changes.rects()) {
        const Rect onRoot = toRoot(r);
        // A change reaching out of the window (the compositor may merge its
        // damage with what lies beside) is another's outside it; only the
        // part inside, as far as the compositor may show the window from
        // where X has it, may be an echo.
        std::vector<Rect> pieces{Intersection(onRoot, AsDrawn(m_onRoot))};
        if (IsEmpty(pieces.front()) || pieces.front() == onRoot) {
            pieces = {onRoot};
        } else {
            const Rect& in = pieces.front();
            for (const Rect& out : {Rect{onRoot.left, onRoot.top, onRoot.right, in.top},
                                    Rect{onRoot.left, in.bottom, onRoot.right, onRoot.bottom},
                                    Rect{onRoot.left, in.top, in.left, in.bottom},
                                    Rect{in.right, in.top, onRoot.right, in.bottom}}) {
                if (!IsEmpty(out)) {
                    pieces.push_back(out);
                }
            }
        }
        for (const Rect& piece : pieces) {
            // The cursor drawn over the mirror's own picture comes back where
            // it was drawn: drawn again there, it would come back for ever.
            if (std::any_of(m_cursorDrawn.begin(), m_cursorDrawn.end(),
                            [&](const Rect& drawn) { return Contains(drawn, piece); })) {
                continue;
            }
            const SelfEcho::Round round = m_echo.roundOf(piece, now);
            if (!SelfEcho::Spent(round, lastRound, now)) {
                kept.push_back(pieces.size() == 1 ? r : Intersection(toPicture(piece), r));
                m_kept.push_back({piece, round});
            }
        }
    }
    changes.replaceRects(std::move(kept));
}

bool MagnifierWindow::cursorChanged() const {
    return !m_frames->includesCursor() && m_cursor->changedIn(m_source);
}

void MagnifierWindow::paint(const ChangeList& changes) {
    const double zoom = m_zoom;
    const Rect area = m_frames->area();
    // A compositor's frames may change size on their own (a mode change, or
    // the first frame of an output): the plan follows.
    const bool replan = m_state.stale() || !(area == m_planArea);
    if (replan) {
        m_planArea = area;
        // A frame may hold the monitor in more pixels than its rectangle (a
        // scaled output): the plan scales from the frame's pixels.
        const int areaWidth = area.right - area.left;
        const int areaHeight = area.bottom - area.top;
        const int sourceWidth = m_source.right - m_source.left;
        const double areaZoom = areaWidth > 0 ? zoom * sourceWidth / areaWidth : 0.0;
        m_scaler->setPlan(Showable(m_source) && Showable(area)
                              ? PlanScaling(areaWidth, areaHeight, areaZoom, m_width, m_height)
                              : std::vector<ScaleStep>{});
        m_scaler->setSourceSize(areaWidth, areaHeight);
    }
    // With the cursor over it, the picture is composed off screen first, so
    // that it never shows without the cursor; otherwise it goes straight to
    // the window, one copy less.
    // Over nothing to show, no cursor either.
    const bool drawsCursor = !m_frames->includesCursor() && !m_scaler->empty();
    const bool offScreen = drawsCursor && m_cursor->showsIn(m_source);
    const Picture target = offScreen ? m_backPicture : m_windowPicture;
    const Rect whole{0, 0, m_width, m_height};
    // Where the cursor was drawn: the picture under it is drawn again.
    const Rect oldCursor = drawsCursor ? m_cursor->drawnArea(m_source, zoom) : Rect{};
    ChangeList drawn;
    // Whole for no other reason than how much changed.
    const bool wholeForChanges = !m_scaler->empty() && !replan && !changes.everything() &&
                                 offScreen == m_state.composedOffScreen() &&
                                 WorthWholeFrame(changes, area);
    const bool readsEverything = m_scaler->empty() || replan || changes.everything() ||
                                 offScreen != m_state.composedOffScreen() || wholeForChanges;
    if (readsEverything) {
        // Everything is read below: what changed so far is in it, and what
        // changes from now on shows in the next frame.
        m_frames->discard();
    }
    if (m_scaler->empty()) {
        const XRenderColor black{0, 0, 0, 0xFFFF};
        XRenderFillRectangle(m_display, PictOpSrc, target, &black, 0, 0,
                             static_cast<unsigned>(m_width), static_cast<unsigned>(m_height));
        drawn.add(whole);
    } else if (readsEverything) {
        m_scaler->render(m_frames->picture(), area.left, area.top, target);
        drawn.add(whole);
    } else {
        std::vector<Rect> changed;
        for (const Rect& r : changes.rects()) {
            changed.push_back(
                {r.left - area.left, r.top - area.top, r.right - area.left, r.bottom - area.top});
        }
        drawn = m_scaler->renderChanged(m_frames->picture(), area.left, area.top, target, changed,
                                        {oldCursor});
    }
    m_state.painted(offScreen);
    // Where this paint drew, on the root, and the round of what made it: a
    // change coming back from there in the next frame is its echo. A whole
    // picture drawn for echoes alone (many of them) is of their round.
    const bool forEchoesAlone =
        !m_kept.empty() && std::all_of(m_kept.begin(), m_kept.end(),
                                       [](const KeptChange& k) { return k.round.round > 0; });
    std::vector<SelfEcho::Drawn> painted;
    const MirrorPlacement placement{m_source, m_onRoot, zoom};
    if (readsEverything) {
        SelfEcho::Round round{0, SelfEcho::Clock::now()};
        if (forEchoesAlone && wholeForChanges) {
            round =
                std::min_element(m_kept.begin(), m_kept.end(), [](const auto& a, const auto& b) {
                    return a.round.round < b.round.round;
                })->round;
        }
        painted.push_back({AsDrawn(m_onRoot), round});
    } else {
        for (const KeptChange& kept : m_kept) {
            painted.push_back({ShownAt(kept.onRoot, placement), kept.round});
        }
        if (!IsEmpty(oldCursor)) {
            painted.push_back(
                {Rect{oldCursor.left + m_onRoot.left, oldCursor.top + m_onRoot.top,
                      oldCursor.right + m_onRoot.left, oldCursor.bottom + m_onRoot.top},
                 {0, SelfEcho::Clock::now()}});
        }
    }
    m_echo.painted(std::move(painted));
    if (drawsCursor) {
        m_cursor->draw(target, m_source, zoom);
    }
    m_cursorDrawn.clear();
    for (const Rect& r : {oldCursor, drawsCursor ? m_cursor->drawnArea(m_source, zoom) : Rect{}}) {
        if (!IsEmpty(r)) {
            m_cursorDrawn.push_back(Rect{
                r.left + m_onRoot.left - kCursorReach, r.top + m_onRoot.top - kCursorReach,
                r.right + m_onRoot.left + kCursorReach, r.bottom + m_onRoot.top + kCursorReach});
        }
    }
    if (offScreen) {
        // The window shows the new picture where it changed and where the
        // cursor was (both drawn above), and where the cursor is now.
        drawn.add(m_cursor->drawnArea(m_source, zoom));
        for (const Rect& r : drawn.rectsIn(whole)) {
            const Rect shown = Intersection(r, whole);
            if (!IsEmpty(shown)) {
                XCopyArea(m_display, m_back, m_window, m_gc, shown.left, shown.top,
                          static_cast<unsigned>(shown.right - shown.left),
                          static_cast<unsigned>(shown.bottom - shown.top), shown.left, shown.top);
            }
        }
    }
    XFlush(m_display);
}

bool MagnifierWindow::handleEvent(const XEvent& event) {
    if (!m_supported) {
        if (event.xany.window == m_window && event.type == DestroyNotify) {
            m_state.windowGone();
        }
        return event.xany.window == m_window;
    }
    m_cursor->handleEvent(event);
    if (m_frames->handleEvent(event)) {
        return true;
    }
    if (event.xany.window == m_parent && (event.type == MapNotify || event.type == UnmapNotify)) {
        // Minimised or hidden: nothing is scaled until the window shows again,
        // and then it shows one whole, current picture. The parent's owner
        // wants the event too.
        m_state.parentMapped(event.type == MapNotify);
        return false;
    }
    if (event.xany.window != m_window) {
        return false;
    }
    switch (event.type) {
    case Expose:
        m_state.changed();
        if (event.xexpose.count == 0 && !m_state.gone()) {
            locate();
            paint(ChangeList{});
        }
        break;
    case DestroyNotify:
        m_state.windowGone();
        break;
    case VisibilityNotify:
        // Nothing drawn would show while other windows cover this one all over.
        m_state.coveredAll(event.xvisibility.state == VisibilityFullyObscured);
        break;
    default:
        break;
    }
    return true;
}

int MagnifierWindow::waitDescriptor() const {
    return m_frames ? m_frames->waitDescriptor() : -1;
}

void MagnifierWindow::dispatchSource() {
    // A frame asked for at a refresh is shown as soon as it is there, not a
    // refresh later; frames are asked for once a refresh, so this still
    // draws no more often than refreshes.
    if (m_frames && m_frames->dispatch() && m_state.seen()) {
        update();
    }
}

} // namespace kestrove::x11
