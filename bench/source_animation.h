// The source monitor's content: a still pattern, or one of the scenes that
// change at 60 Hz. Every scene writes its frame number (modulo 64) in a marker
// of six black or white blocks at the top-left corner, so a reader of the
// mirror's pixels can tell which frame it shows.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrove::bench {

using Clock = std::chrono::steady_clock;

enum class Scene {
    FullScreen,     // the whole monitor redrawn
    ManySmallAreas, // a few dozen small areas over the still pattern, like clocks and progress bars
    OneSmallArea,   // one area over the still pattern: the marker's own
};
inline constexpr std::array kScenes{Scene::FullScreen, Scene::ManySmallAreas, Scene::OneSmallArea};

// A small changing area, as a clock or a progress bar takes.
constexpr int kAreaWidth = 64;
constexpr int kAreaHeight = 32;

// The marker: three columns by two rows of blocks inside the top-left area.
// Block sides are multiples of 3, so a reduction by 3 keeps each block whole.
constexpr int kMarkerBits = 6;
constexpr int kMarkerColumns = 3;
constexpr int kMarkerBlockWidth = 21;
constexpr int kMarkerBlockHeight = 15;

class SourceAnimation {
public:
    // A window of its own over `area` of the screen, on its own connection.
    SourceAnimation(const std::string& display, int x, int y, int width, int height);
    ~SourceAnimation();
    SourceAnimation(const SourceAnimation&) = delete;
    SourceAnimation& operator=(const SourceAnimation&) = delete;

    void showStill();
    void startMoving(Scene scene); // until stopMoving() or the end
    void stopMoving();
    // When frame k was on the screen (drawn and synced), for every frame so far.
    std::vector<Clock::time_point> frameTimes();

private:
    void drawFrame(int frame);
    void drawFullScreen(int frame);
    void drawArea(int x, int y, int frame);
    void drawMarker(int frame);
    void run();

    Display* m_display;
    Window m_window;
    GC m_gc;
    int m_width;
    int m_height;
    Scene m_scene = Scene::FullScreen;
    std::atomic<bool> m_moving{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_times;
};

} // namespace kestrove::bench
