#include "tests/harness/kestrove_session.h"

#include "tests/harness/wait.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace kestrove::e2e {

namespace {

// Colours at block centres come through a smoothing filter unchanged; allow
// for rounding only. Distinct pattern colours differ by 65 or more.
constexpr int kTolerance = 24;

bool Near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) <= kTolerance && std::abs(a.g - b.g) <= kTolerance &&
           std::abs(a.b - b.b) <= kTolerance;
}

std::string Hex(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    return text;
}

std::string Describe(const std::unique_ptr<ChildProcess>& process) {
    return process->name() + " said: " + process->standardError();
}

} // namespace

std::string KestrovePath() {
    return KESTROVE_EXECUTABLE;
}
std::string MonitorFixturePath() {
    return KESTROVE_MONITOR_FIXTURE;
}

std::vector<MonitorGeometry> TwoMonitors() {
    return {MonitorGeometry{1280, 720, 1280, 0, true}, MonitorGeometry{600, 800, 1280, 720, false}};
}

std::optional<Window> FindMirrorWindow(XClient& x) {
    return x.findWindow([&](Window window) {
        return x.wmClass(window) == "Kestrove" && x.name(window).starts_with("Kestrove - [") &&
               x.viewable(window);
    });
}

int FittedHeight(const MonitorGeometry& monitor, int width) {
    return static_cast<int>(static_cast<double>(monitor.height) /
                            static_cast<double>(monitor.width) * static_cast<double>(width));
}

std::string PatternMismatch(const Image& image, int index) {
    struct Sample {
        int x;
        int y;
    };
    std::vector<Sample> samples;
    for (int row = 0; row < kPatternBlocks; ++row) {
        for (int column = 0; column < kPatternBlocks; ++column) {
            samples.push_back({(2 * column + 1) * image.width / (2 * kPatternBlocks),
                               (2 * row + 1) * image.height / (2 * kPatternBlocks)});
        }
    }
    // Near the corners: the pattern must reach the window's edges, not stop
    // short of them or run past them.
    const int insetX = image.width * 2 / 100;
    const int insetY = image.height * 2 / 100;
    for (const int x : {insetX, image.width - 1 - insetX}) {
        for (const int y : {insetY, image.height - 1 - insetY}) {
            samples.push_back({x, y});
        }
    }

    std::string mismatch;
    for (const Sample& sample : samples) {
        const Rgb want = PatternColour(index, PatternBlockAt(sample.x, image.width),
                                       PatternBlockAt(sample.y, image.height));
        const Rgb got = image.at(sample.x, sample.y);
        if (!Near(got, want)) {
            mismatch.append("(")
                .append(std::to_string(sample.x))
                .append(",")
                .append(std::to_string(sample.y))
                .append("): ")
                .append(Hex(got))
                .append(" instead of ")
                .append(Hex(want))
                .append("; ");
        }
    }
    if (!mismatch.empty()) {
        mismatch = std::to_string(image.width) + "x" + std::to_string(image.height) +
                   " picture, not pattern " + std::to_string(index) + " at " + mismatch;
    }
    return mismatch;
}

KestroveSession::KestroveSession(std::vector<MonitorGeometry> monitors, int screenWidth,
                                 int screenHeight, const std::string& executable,
                                 const std::function<void(const std::string&)>& beforeStart)
    : m_monitors(std::move(monitors)) {
    m_server = std::make_unique<XvfbServer>(screenWidth, screenHeight);
    m_client = std::make_unique<XClient>(m_server->display());
    // The mirror draws the pointer where it lies in the source: park it in
    // the bottom-left corner, away from the monitors and the mirror window.
    m_client->movePointer(1, screenHeight - 2);

    std::vector<std::string> fixtureArgs{MonitorFixturePath(), "--display", m_server->display()};
    for (const MonitorGeometry& monitor : m_monitors) {
        fixtureArgs.push_back(FormatMonitorGeometry(monitor));
    }
    m_fixture = std::make_unique<ChildProcess>(fixtureArgs, std::vector<EnvironmentChange>{});
    if (m_fixture->readLine(kWaitTimeout) != "ready") {
        throw std::runtime_error("the monitor fixture is not ready; " + Describe(m_fixture));
    }
    if (beforeStart) {
        beforeStart(m_server->display());
    }

    m_kestrove = std::make_unique<ChildProcess>(
        std::vector<std::string>{executable.empty() ? KestrovePath() : executable},
        std::vector<EnvironmentChange>{{"DISPLAY", m_server->display()}});
    std::optional<Window> mirror;
    const bool shown = WaitUntil([&] {
        mirror = FindMirrorWindow(*m_client);
        return mirror.has_value() || !m_kestrove->running();
    });
    if (!shown || !mirror) {
        throw std::runtime_error("Kestrove shows no mirror window" +
                                 std::string(m_kestrove->running() ? "" : " and has ended") + "; " +
                                 Describe(m_kestrove));
    }
    m_mirror = *mirror;
}

WindowGeometry KestroveSession::geometry() {
    return m_client->geometry(m_mirror).value_or(WindowGeometry{});
}

std::string KestroveSession::patternMismatch(int index) {
    const auto image = m_client->grab(m_mirror);
    return image ? PatternMismatch(*image, index) : "the mirror window cannot be read";
}

std::string KestroveSession::waitForPattern(int index) {
    std::string mismatch;
    WaitUntil([&] {
        mismatch = patternMismatch(index);
        return mismatch.empty();
    });
    return mismatch;
}

} // namespace kestrove::e2e
