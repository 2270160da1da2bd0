// The source monitor's content: a still pattern, or a picture redrawn in full
// at 60 Hz whose frame number (modulo 64) is written in a strip of six black
// or white blocks at the top-left corner, so a reader of the mirror's pixels
// can tell which frame it shows.
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrove::bench {

using Clock = std::chrono::steady_clock;

constexpr int kMarkerBits = 6;
constexpr int kMarkerBlock = 96; // source pixels; a multiple of 2 and 3

class SourceAnimation {
public:
    // A window of its own over `area` of the screen, on its own connection.
    SourceAnimation(const std::string& display, int x, int y, int width, int height);
    ~SourceAnimation();
    SourceAnimation(const SourceAnimation&) = delete;
    SourceAnimation& operator=(const SourceAnimation&) = delete;

    void showStill();
    void startMoving(); // until stopMoving() or the end
    void stopMoving();
    // When frame k was on the screen (drawn and synced), for every frame so far.
    std::vector<Clock::time_point> frameTimes();

private:
    void drawFrame(int frame);
    void run();

    Display* m_display;
    Window m_window;
    GC m_gc;
    int m_width;
    int m_height;
    std::atomic<bool> m_moving{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_times;
};

} // namespace kestrove::bench
