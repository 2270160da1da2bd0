#include "bench/source_animation.h"

#include "tests/harness/x11_picture_quality.h"

#include <stdexcept>

namespace kestrove::bench {

namespace {

// The many small areas: a grid spread over the monitor, each area nudged off
// the grid by a different amount so they fall on no common alignment. The
// first sits at the top-left corner and carries the marker.
constexpr int kAreaColumns = 8;
constexpr int kAreaRows = 5;

} // namespace

SourceAnimation::SourceAnimation(const std::string& display, int x, int y, int width, int height)
    : m_display(XOpenDisplay(display.c_str())), m_width(width), m_height(height) {
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open display " + display);
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(m_display, DefaultScreen(m_display));
    m_window =
        XCreateWindow(m_display, DefaultRootWindow(m_display), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(m_display, m_window);
    m_gc = XCreateGC(m_display, m_window, 0, nullptr);
    XSync(m_display, False);
}

SourceAnimation::~SourceAnimation() {
    stopMoving();
    XFreeGC(m_display, m_gc);
    XCloseDisplay(m_display);
}

void SourceAnimation::showStill() {
    XClearWindow(m_display, m_window);
    quality::PaintFinePattern(m_display, m_window, m_width, m_height);
}

void SourceAnimation::startMoving(Scene scene) {
    stopMoving();
    m_scene = scene;
    if (scene != Scene::FullScreen) {
        showStill(); // what the small areas change on
    }
    m_moving = true;
    m_thread = std::thread([this] { run(); });
}

void SourceAnimation::stopMoving() {
    if (m_thread.joinable()) {
        m_moving = false;
        m_thread.join();
    }
}

std::vector<Clock::time_point> SourceAnimation::frameTimes() {
    const std::lock_guard lock(m_mutex);
    return m_times;
}

void SourceAnimation::drawFrame(int frame) {
    switch (m_scene) {
    case Scene::FullScreen:
        drawFullScreen(frame);
        break;
    case Scene::ManySmallAreas:
        for (int row = 0; row < kAreaRows; ++row) {
            for (int column = 0; column < kAreaColumns; ++column) {
                const int nudge = (column * 7 + row * 13) % 29;
                const int x = column == 0 && row == 0 ? 0 : column * m_width / kAreaColumns + nudge;
                const int y = column == 0 && row == 0 ? 0 : row * m_height / kAreaRows + nudge;
                drawArea(x, y, frame);
            }
        }
        break;
    case Scene::OneSmallArea:
        drawArea(0, 0, frame);
        break;
    }
    drawMarker(frame);
    XSync(m_display, False);
}

void SourceAnimation::drawFullScreen(int frame) {
    // A grey that alternates, with bars that move.
    XSetForeground(m_display, m_gc, frame % 2 == 0 ? 0x606060 : 0x707070);
    XFillRectangle(m_display, m_window, m_gc, 0, 0, static_cast<unsigned>(m_width),
                   static_cast<unsigned>(m_height));
    XSetForeground(m_display, m_gc, 0x3050C0);
    for (int x = (frame * 8) % 160 - 160; x < m_width; x += 160) {
        XFillRectangle(m_display, m_window, m_gc, x, kAreaHeight, 48,
                       static_cast<unsigned>(m_height - kAreaHeight));
    }
}

void SourceAnimation::drawArea(int x, int y, int frame) {
    // The whole area is drawn each frame, as a clock or a progress bar redraws itself.
    XSetForeground(m_display, m_gc, frame % 2 == 0 ? 0xE0E0E0 : 0xD0D0D0);
    XFillRectangle(m_display, m_window, m_gc, x, y, kAreaWidth, kAreaHeight);
    XSetForeground(m_display, m_gc, 0x3050C0);
    XFillRectangle(m_display, m_window, m_gc, x + 2, y + kAreaHeight - 10,
                   static_cast<unsigned>(1 + (frame * 3) % (kAreaWidth - 4)), 8);
}

void SourceAnimation::drawMarker(int frame) {
    const int screen = DefaultScreen(m_display);
    for (int bit = 0; bit < kMarkerBits; ++bit) {
        XSetForeground(m_display, m_gc,
                       ((frame >> bit) & 1) != 0 ? WhitePixel(m_display, screen)
                                                 : BlackPixel(m_display, screen));
        XFillRectangle(m_display, m_window, m_gc, bit % kMarkerColumns * kMarkerBlockWidth,
                       bit / kMarkerColumns * kMarkerBlockHeight, kMarkerBlockWidth,
                       kMarkerBlockHeight);
    }
}

void SourceAnimation::run() {
    const auto period = std::chrono::microseconds(1000000 / 60);
    auto next = Clock::now();
    // Frame k is m_times[k], across every start.
    for (auto frame = static_cast<int>(frameTimes().size()); m_moving; ++frame) {
        drawFrame(frame);
        {
            const std::lock_guard lock(m_mutex);
            m_times.push_back(Clock::now());
        }
        next += period;
        std::this_thread::sleep_until(next);
    }
}

} // namespace kestrove::bench
