#include "tests/harness/wayland/headless_sway.h"

#include "tests/harness/wait.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrove::e2e {

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr const char* kPath = "/usr/local/bin:/usr/bin:/bin";

// The first child of `parent` whose command name is `name`; `parent` itself
// when it is that program (run without runuser).
std::optional<pid_t> ChildNamed(pid_t parent, const std::string& name) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = ReadFile(entry.path() / "stat").value_or("");
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        const pid_t pid = std::atoi(stat.c_str());
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (stat.substr(open + 1, close - open - 1) == name && (ppid == parent || pid == parent)) {
            return pid;
        }
    }
    return std::nullopt;
}

// The XWayland serving `display`: wlroots may start it through a double
// fork, which leaves it no parent to follow, but its command line names the
// display it serves.
std::optional<pid_t> XwaylandServing(const std::string& display) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        if (ReadFile(entry.path() / "comm").value_or("") != "Xwayland\n") {
            continue;
        }
        std::istringstream arguments(ReadFile(entry.path() / "cmdline").value_or(""));
        for (std::string argument; std::getline(arguments, argument, '\0');) {
            if (argument == display) {
                return std::atoi(entry.path().filename().c_str());
            }
        }
    }
    return std::nullopt;
}

} // namespace

pid_t HeadlessSway::xwaylandPid() const {
    return XwaylandServing(m_display).value_or(-1);
}

std::string HeadlessSway::Unavailable() {
    for (const char* program : {"sway", "swaymsg", "grim", "Xwayland", "xhost"}) {
        if (!OnPath(program)) {
            return std::string(program) + " is not installed (scripts/deps/wayland.txt lists it)";
        }
    }
    return {};
}

HeadlessSway::HeadlessSway(const std::string& config) {
    m_user = DesktopUser();
    char pattern[] = "/tmp/kestrove-sway-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("cannot make a directory for the desktop");
    }
    m_directory = pattern;
    m_runtime = m_directory + "/run";
    fs::create_directory(m_runtime);
    chmod(m_runtime.c_str(), 0700);
    fs::copy_file(config.empty() ? fs::path(KESTROVE_HEADLESS_DESKTOP_DIR) / "headless-sway.config"
                                 : fs::path(config),
                  m_directory + "/config");
    handOver(std::string(KESTROVE_HEADLESS_DESKTOP_DIR) + "/run-captured.sh");
    if (!m_user.empty()) {
        const passwd* user = getpwnam(m_user.c_str());
        for (const std::string& path : {m_directory, m_runtime, m_directory + "/config"}) {
            if (chown(path.c_str(), user->pw_uid, user->pw_gid) != 0) {
                throw std::runtime_error("cannot hand " + path + " to " + m_user);
            }
        }
    }

    // sway ends with runuser, which ends with this process, even when this
    // one ends without running its destructors.
    m_sway = std::make_unique<ChildProcess>(
        asUser({"setpriv", "--pdeathsig", "TERM", "sway", "--config", m_directory + "/config"},
               {"WLR_BACKENDS=headless", "WLR_HEADLESS_OUTPUTS=2", "WLR_RENDERER=pixman",
                "WLR_LIBINPUT_NO_DEVICES=1"}),
        std::vector<EnvironmentChange>{});
    // The IPC socket's file exists a moment before sway takes connections.
    const bool up = WaitUntil(
        [&] {
            if (!m_sway->running() || !findSockets()) {
                return false;
            }
            try {
                message({"-t", "get_version"});
                return true;
            } catch (const std::runtime_error&) {
                return false;
            }
        },
        seconds(20));
    if (!up) {
        throw std::runtime_error("sway did not come up: " + log());
    }
    m_swayPid = ChildNamed(m_sway->pid(), "sway").value_or(m_sway->pid());
    exec("echo $DISPLAY >" + m_directory + "/display.tmp && mv " + m_directory + "/display.tmp " +
         m_directory + "/display");
    if (!WaitUntil([&] { return ReadFile(m_directory + "/display").has_value(); }, seconds(20))) {
        throw std::runtime_error("sway started nothing on XWayland: " + log());
    }
    m_display = *ReadFile(m_directory + "/display");
    m_display.erase(m_display.find_last_not_of("\n") + 1);
    if (m_display.empty()) {
        throw std::runtime_error("sway has no XWayland: " + log());
    }
    // XWayland lets in only its own user; the test reads windows as root.
    if (!m_user.empty()) {
        run({"xhost", "+si:localuser:root"}, {"DISPLAY=" + m_display});
    }
}

HeadlessSway::~HeadlessSway() {
    if (m_sway) {
        try {
            message({"exit"});
        } catch (const std::runtime_error&) {
            // ended below all the same
        }
        if (!m_sway->waitExit(seconds(5))) {
            m_sway->terminate();
        }
    }
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
}

std::string HeadlessSway::handOver(const std::string& path) {
    return HandOver(m_directory, path);
}

std::vector<std::string> HeadlessSway::sessionEnvironment() const {
    if (m_socket.empty()) {
        return {};
    }
    return {"WAYLAND_DISPLAY=" + m_socket, "SWAYSOCK=" + m_ipcSocket};
}

bool HeadlessSway::findSockets() {
    // sway's are the first in the fresh directory: wayland-N and sway-ipc.*.sock.
    for (const auto& entry : fs::directory_iterator(m_runtime)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("sway-ipc.")) {
            m_ipcSocket = entry.path().string();
        } else if (name.starts_with("wayland-") && !name.ends_with(".lock")) {
            m_socket = name;
        }
    }
    return !m_socket.empty() && !m_ipcSocket.empty();
}

std::vector<std::string> HeadlessSway::asUser(const std::vector<std::string>& argv,
                                              const std::vector<std::string>& environment) const {
    std::vector<std::string> command;
    if (!m_user.empty()) {
        command = {"runuser", "-u", m_user, "--"};
    }
    command.insert(command.end(), {"env", "-i", std::string("PATH=") + kPath, "HOME=" + m_directory,
                                   "XDG_RUNTIME_DIR=" + m_runtime});
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

std::string HeadlessSway::run(const std::vector<std::string>& argv,
                              const std::vector<std::string>& environment) {
    std::vector<std::string> all = sessionEnvironment();
    all.insert(all.end(), environment.begin(), environment.end());
    return RunToEnd(asUser(argv, all));
}

std::unique_ptr<ChildProcess> HeadlessSway::spawn(const std::vector<std::string>& argv) {
    return std::make_unique<ChildProcess>(asUser(argv, sessionEnvironment()),
                                          std::vector<EnvironmentChange>{});
}

std::string HeadlessSway::message(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"swaymsg"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run(argv);
}

void HeadlessSway::exec(const std::string& command) {
    message({"exec", command});
}

Image HeadlessSway::grab(const WindowGeometry& area) {
    const std::string ppm = run({"grim", "-t", "ppm", "-g",
                                 std::to_string(area.x) + "," + std::to_string(area.y) + " " +
                                     std::to_string(area.width) + "x" + std::to_string(area.height),
                                 "-"});
    return ImageFromPpm(ppm);
}

Image HeadlessSway::grabOutput(const std::string& output) {
    return ImageFromPpm(run({"grim", "-t", "ppm", "-o", output, "-"}));
}

std::string HeadlessSway::log() const {
    return m_sway ? m_sway->standardError() : std::string();
}

} // namespace kestrove::e2e
