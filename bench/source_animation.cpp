#include "bench/source_animation.h"

#include "tests/harness/x11_picture_quality.h"

#include <stdexcept>

namespace kestrove::bench {

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

void SourceAnimation::startMoving() {
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
    const int screen = DefaultScreen(m_display);
    const unsigned long black = BlackPixel(m_display, screen);
    const unsigned long white = WhitePixel(m_display, screen);
    // The whole area changes: a grey that alternates, with bars that move.
    XSetForeground(m_display, m_gc, frame % 2 == 0 ? 0x606060 : 0x707070);
    XFillRectangle(m_display, m_window, m_gc, 0, 0, static_cast<unsigned>(m_width),
                   static_cast<unsigned>(m_height));
    XSetForeground(m_display, m_gc, 0x3050C0);
    const int top = 2 * kMarkerBlock;
    for (int x = (frame * 8) % 160 - 160; x < m_width; x += 160) {
        XFillRectangle(m_display, m_window, m_gc, x, top, 48,
                       static_cast<unsigned>(m_height - top));
    }
    for (int bit = 0; bit < kMarkerBits; ++bit) {
        XSetForeground(m_display, m_gc, ((frame >> bit) & 1) != 0 ? white : black);
        XFillRectangle(m_display, m_window, m_gc, bit * kMarkerBlock, 0, kMarkerBlock,
                       kMarkerBlock);
    }
    XSync(m_display, False);
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
