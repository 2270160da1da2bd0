#include "tests/harness/desktop_server.h"

#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

namespace kestrove::e2e {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(20);

// Two real outputs need a virtual screen that holds both side by side.
constexpr const char* kXorgConfig = R"(Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual 2304 800
    EndSubSection
EndSection
Section "ServerFlags"
    Option "AutoAddDevices" "false"
    Option "DontVTSwitch" "true"
EndSection
)";

// i3 without its bar and helpers: one tiling workspace per output. The
// first line tells i3 the file is in today's format (a file without it is
// converted, and given the default bar with its changing status line).
constexpr const char* kI3Config = "# i3 config file (v4)\nfont pango:monospace 8\n";

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

void Require(const std::string& program, const std::string& package) {
    if (!OnPath(program)) {
        throw DesktopUnavailable(program + " is not installed (Debian package " + package + ")");
    }
}

void Run(const std::vector<std::string>& argv, const std::string& display) {
    ChildProcess process(argv, {{"DISPLAY", display}});
    const auto status = process.waitExit(std::chrono::seconds(10));
    if (!status || !status->exited || status->code != 0) {
        throw std::runtime_error(argv.front() + " failed: " + process.standardError());
    }
}

// Whether the root says what a window manager (or compositor) that took
// the screen says.
bool ScreenTaken(const std::string& display, bool compositor) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) {
        return false;
    }
    bool taken = false;
    if (compositor) {
        const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
        taken = XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != None;
    } else {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d),
                               XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                               XA_WINDOW, &type, &format, &count, &after, &data) == Success) {
            taken = count == 1;
        }
        if (data != nullptr) {
            XFree(data);
        }
    }
    XCloseDisplay(d);
    return taken;
}

std::unique_ptr<ChildProcess> StartAndWait(const std::vector<std::string>& argv,
                                           const std::string& display, bool compositor) {
    auto process =
        std::make_unique<ChildProcess>(argv, std::vector<EnvironmentChange>{{"DISPLAY", display}});
    if (!WaitUntil([&] { return ScreenTaken(display, compositor) || !process->running(); },
                   kStartTimeout) ||
        !process->running()) {
        throw std::runtime_error(argv.front() +
                                 " did not take the screen: " + process->standardError());
    }
    return process;
}

} // namespace

const std::vector<Desktop>& RealDesktops() {
    static const std::vector<Desktop> desktops{
        {"openbox", {"openbox"}, {}, false, {{"openbox", "openbox"}}},
        // The hard case: every change repaints the whole screen.
        {"openbox_picom_full_repaint",
         {"openbox"},
         {"picom", "--config", "/dev/null", "--backend", "xrender", "--no-use-damage"},
         true,
         {{"openbox", "openbox"}, {"picom", "picom"}}},
        // xfwm4 reads its settings from xfconfd, over a session bus of its own.
        {"xfwm4_compositor",
         {"dbus-run-session", "--", "xfwm4", "--compositor=on", "--vblank=off"},
         {},
         true,
         {{"xfwm4", "xfwm4"}, {"dbus-run-session", "dbus-bin"}}},
        {"i3", {"i3", "-c", "I3_CONFIG"}, {}, false, {{"i3", "i3-wm"}}},
    };
    return desktops;
}

void PrintTo(const Desktop& desktop, std::ostream* out) {
    *out << desktop.name;
}

DesktopServer::DesktopServer(const Desktop& desktop) {
    if (geteuid() != 0) {
        throw DesktopUnavailable("Xorg runs only as root here (no console for Xorg.wrap)");
    }
    Require("Xorg", "xserver-xorg-core");
    if (!std::filesystem::exists("/usr/lib/xorg/modules/drivers/dummy_drv.so")) {
        throw DesktopUnavailable("the dummy video driver is not installed "
                                 "(Debian package xserver-xorg-video-dummy)");
    }
    Require("xrandr", "x11-xserver-utils");
    for (const auto& [program, package] : desktop.programs) {
        Require(program, package);
    }

    char directory[] = "/tmp/kestrove-desktop-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        throw std::runtime_error("cannot make a directory for the desktop");
    }
    m_directory = directory;
    const std::string config = m_directory + "/xorg.conf";
    std::ofstream(config) << kXorgConfig;
    std::ofstream(m_directory + "/i3.conf") << kI3Config;

    // The server writes its display number on fd 1 once it accepts connections.
    m_server = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xorg", "-displayfd", "1", "-config", config, "-noreset",
                                 "-nolisten", "tcp", "-logfile", m_directory + "/xorg.log",
                                 "-novtswitch", "-sharevts"},
        std::vector<EnvironmentChange>{});
    const auto number = m_server->readLine(kStartTimeout);
    if (!number || number->empty()) {
        throw std::runtime_error("Xorg did not start: " + m_server->standardError());
    }
    m_display = ":" + *number;
    Run({"xrandr", "--addmode", "DUMMY1", "1024x768"}, m_display);
    Run({"xrandr", "--output", "DUMMY0", "--mode", "1280x800", "--pos", "0x0", "--primary",
         "--output", "DUMMY1", "--mode", "1024x768", "--pos", "1280x0"},
        m_display);
    m_client = std::make_unique<XClient>(m_display);

    std::vector<std::string> wm = desktop.windowManager;
    for (std::string& argument : wm) {
        if (argument == "I3_CONFIG") {
            argument = m_directory + "/i3.conf";
        }
    }
    m_windowManager = StartAndWait(wm, m_display, false);
    if (!desktop.compositor.empty()) {
        m_compositor = StartAndWait(desktop.compositor, m_display, true);
    } else if (desktop.composited) {
        if (!WaitUntil([&] { return ScreenTaken(m_display, true); }, kStartTimeout)) {
            throw std::runtime_error(wm.front() +
                                     " started no compositor: " + m_windowManager->standardError());
        }
    }
}

DesktopServer::~DesktopServer() {
    m_compositor.reset();
    m_windowManager.reset();
    m_client.reset();
    m_server.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
}

std::unique_ptr<ChildProcess> DesktopServer::startKestrove(Window& mirror,
                                                           const std::string& executable) {
    auto kestrove = std::make_unique<ChildProcess>(
        std::vector<std::string>{executable.empty() ? KestrovePath() : executable},
        std::vector<EnvironmentChange>{{"DISPLAY", m_display}});
    std::optional<Window> found;
    WaitUntil([&] {
        found = FindMirrorWindow(*m_client);
        return found.has_value() || !kestrove->running();
    });
    if (!found) {
        throw std::runtime_error("Kestrove shows no mirror window: " + kestrove->standardError());
    }
    mirror = *found;
    return kestrove;
}

} // namespace kestrove::e2e
