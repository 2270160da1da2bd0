#include "tests/harness/wayland/desktop_user.h"

#include "tests/harness/child_process.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrove::e2e {

namespace {

constexpr const char* kUser = "kestrove-desktop";

} // namespace

std::string RunToEnd(const std::vector<std::string>& argv) {
    using std::chrono::seconds;
    ChildProcess child(argv, {});
    std::string output = child.readRest(seconds(30));
    const auto status = child.waitExit(seconds(30));
    if (!status || !status->exited || status->code != 0) {
        std::string command;
        for (const std::string& word : argv) {
            command += word + " ";
        }
        throw std::runtime_error(command + "failed (" +
                                 (status ? status->describe() : std::string("still running")) +
                                 "): " + child.standardError());
    }
    return output;
}

std::string DesktopUser() {
    if (geteuid() != 0) {
        return {};
    }
    // Tests running side by side may both want to add the user: one at a time.
    const int lock = open("/tmp/kestrove-desktop-user.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        throw std::runtime_error("cannot lock the desktop's user");
    }
    try {
        if (getpwnam(kUser) == nullptr) {
            RunToEnd(
                {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
        }
    } catch (...) {
        close(lock);
        throw;
    }
    close(lock);
    // The user's XWayland would make X's socket folder its own if it came
    // first, and mutter's XWayland, run as root later, refuses a folder
    // another user owns: made here as the system makes it.
    if (mkdir("/tmp/.X11-unix", 01777) == 0) {
        chmod("/tmp/.X11-unix", 01777); // past the umask
    }
    return kUser;
}

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool OnPath(const std::string& program) {
    for (const char* dir : {"/usr/local/bin", "/usr/bin", "/bin", "/usr/sbin", "/sbin"}) {
        if (access((std::string(dir) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

Image ImageFromPpm(const std::string& ppm) {
    std::istringstream in(ppm);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0 ||
        ppm.size() - static_cast<std::size_t>(in.tellg()) <
            static_cast<std::size_t>(width * height * 3)) {
        throw std::runtime_error("grim gave no picture of the area");
    }
    Image image{width, height, {}};
    const auto* bytes = reinterpret_cast<const unsigned char*>(ppm.data() + in.tellg());
    for (int i = 0; i < width * height; ++i) {
        image.pixels.push_back(Rgb{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]});
    }
    return image;
}

std::string HandOver(const std::string& directory, const std::string& path) {
    const std::string copy = directory + "/" + std::filesystem::path(path).filename().string();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    return copy;
}

} // namespace kestrove::e2e
