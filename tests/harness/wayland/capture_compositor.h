// A stand-in compositor for what this machine lacks: sway 1.7 offers
// wlr-screencopy only, so a compositor offering ext-image-copy-capture-v1 is
// played here, in a thread of the test, with libwayland-server. It has one
// output of one colour, offers either capture protocol, both or neither, and
// answers a capture once the output has changed, as a real one does. The
// pixels painted are the buffer's, as stored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrove::e2e {

enum class CaptureProtocols { None, Screencopy, ImageCopy, Both };

class CaptureCompositor {
public:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;
    static constexpr const char* kOutputName = "FAKE-1";

    // Listens in $XDG_RUNTIME_DIR; throws std::runtime_error when it cannot.
    CaptureCompositor(CaptureProtocols protocols, std::uint32_t colour);
    ~CaptureCompositor();
    CaptureCompositor(const CaptureCompositor&) = delete;
    CaptureCompositor& operator=(const CaptureCompositor&) = delete;

    // The socket's name, for WAYLAND_DISPLAY.
    std::string socket() const;
    // Paints a rectangle of the output in `colour` (XRGB); a capture waiting
    // for a change is then answered with that rectangle as damage.
    void paint(int x, int y, int width, int height, std::uint32_t colour);
    // The output goes away, as a monitor unplugged, and comes back (the same
    // name, place and size).
    void unplug();
    void replug();
    // How the output's buffer holds its picture, from the next client on:
    // turned (a wl_output transform, told by wl_output and with each
    // ext-image-copy-capture frame) and, for screencopy, bottom row first.
    void storeTurned(std::uint32_t transform, bool yInverted);
    // Frames copied so far through each protocol.
    int screencopyFrames() const;
    int imageCopyFrames() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace kestrove::e2e
