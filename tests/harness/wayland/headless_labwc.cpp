#include "tests/harness/wayland/headless_labwc.h"

#include "tests/harness/wait.h"
#include "tests/harness/wayland/desktop_user.h"

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrove::e2e {

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr const char* kPath = "/usr/local/bin:/usr/bin:/bin";
// debootstrap and apt on a fresh cache; the archive may be slow.
constexpr seconds kRootTimeout{900};
constexpr int kUnreachable = 77;

} // namespace

std::string HeadlessLabwc::Unavailable() {
    if (geteuid() != 0) {
        return "making and entering the Debian root (unshare, chroot) needs root";
    }
    for (const char* program :
         {"debootstrap", "unshare", "chroot", "nsenter", "setpriv", "wget", "flock", "xhost"}) {
        if (!OnPath(program)) {
            return std::string(program) + " is not installed (scripts/deps/wayland.txt lists it)";
        }
    }
    return {};
}

HeadlessLabwc::HeadlessLabwc() {
    m_user = DesktopUser();
    char pattern[] = "/tmp/kestrove-labwc-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("cannot make a directory for the desktop");
    }
    m_directory = pattern;
    chmod(m_directory.c_str(), 0755);
    if (!m_user.empty()) {
        const passwd* user = getpwnam(m_user.c_str());
        if (chown(m_directory.c_str(), user->pw_uid, user->pw_gid) != 0) {
            throw std::runtime_error("cannot hand " + m_directory + " to " + m_user);
        }
    }
    const std::string user = m_user.empty() ? getpwuid(geteuid())->pw_name : m_user;
    // The script, and labwc with it, ends with this process even when it
    // ends without running its destructors.
    m_labwc = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            "setpriv", "--pdeathsig", "TERM",
            std::string(KESTROVE_HEADLESS_DESKTOP_DIR) + "/labwc_root.sh", m_directory,
            std::string(KESTROVE_HEADLESS_DESKTOP_DIR) + "/headless-labwc.xml", user},
        std::vector<EnvironmentChange>{});
    WaitUntil([&] { return !m_labwc->running() || fs::exists(m_directory + "/display"); },
              kRootTimeout);
    if (!m_labwc->running()) {
        const auto status = m_labwc->waitExit(seconds(1));
        if (status && status->exited && status->code == kUnreachable) {
            throw Unreachable(log());
        }
        throw std::runtime_error("labwc did not come up: " + log());
    }
    m_display = ReadFile(m_directory + "/display").value_or("");
    m_display.erase(m_display.find_last_not_of("\n") + 1);
    m_labwcPid = ReadFile(m_directory + "/labwc.pid").value_or("");
    m_labwcPid.erase(m_labwcPid.find_last_not_of("\n") + 1);
    if (m_display.empty() || m_labwcPid.empty()) {
        throw std::runtime_error("labwc has no XWayland: " + log());
    }
    randr({"--output", "HEADLESS-1", "--pos", "0,0", "--custom-mode", "1280x720", "--output",
           "HEADLESS-2", "--pos", "1280,0", "--custom-mode", "800x600"});
    // XWayland lets in only the users it was told of; the test reads windows as root.
    if (!m_user.empty()) {
        RunToEnd(asUser({"xhost", "+si:localuser:root"}, false));
    }
}

HeadlessLabwc::~HeadlessLabwc() {
    if (m_labwc) {
        m_labwc->terminate();
    }
    std::error_code ignored;
    fs::remove_all(m_directory, ignored);
}

std::string HeadlessLabwc::handOver(const std::string& path) {
    return HandOver(m_directory, path);
}

std::vector<std::string> HeadlessLabwc::sessionEnvironment() const {
    std::vector<std::string> environment{std::string("PATH=") + kPath, "HOME=" + m_directory,
                                         "XDG_RUNTIME_DIR=" + m_directory + "/run",
                                         "WAYLAND_DISPLAY=wayland-0"};
    if (!m_display.empty()) {
        environment.push_back("DISPLAY=" + m_display);
    }
    return environment;
}

std::vector<std::string> HeadlessLabwc::asUser(const std::vector<std::string>& argv,
                                               bool inRoot) const {
    std::vector<std::string> command;
    if (inRoot) {
        // labwc's mount namespace and root, where its wlr-randr and grim are.
        command = {"nsenter", "--target", m_labwcPid, "--mount", "--root", "--wd=/"};
    }
    if (!m_user.empty()) {
        command.insert(command.end(),
                       {"setpriv", "--reuid=" + m_user, "--regid=" + m_user, "--init-groups"});
    }
    command.insert(command.end(), {"env", "-i"});
    const auto environment = sessionEnvironment();
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

std::string HeadlessLabwc::randr(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"wlr-randr"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunToEnd(asUser(argv, true));
}

Image HeadlessLabwc::grab(const WindowGeometry& area) {
    return ImageFromPpm(
        RunToEnd(asUser({"grim", "-t", "ppm", "-g",
                         std::to_string(area.x) + "," + std::to_string(area.y) + " " +
                             std::to_string(area.width) + "x" + std::to_string(area.height),
                         "-"},
                        true)));
}

std::unique_ptr<ChildProcess> HeadlessLabwc::spawn(const std::vector<std::string>& argv) {
    return std::make_unique<ChildProcess>(asUser(argv, false), std::vector<EnvironmentChange>{});
}

std::string HeadlessLabwc::log() const {
    return m_labwc ? m_labwc->standardError() : std::string();
}

} // namespace kestrove::e2e
