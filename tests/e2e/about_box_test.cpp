// The About box of the real executable: opened from the mirror window's
// context menu, its version line read from control 1000's window name, for
// the built program and for copies whose version section was removed,
// damaged or changed.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

namespace kestrove::e2e {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

const std::string kAboutCaption = "Kestrove について";
const std::string kAboutEntry = "Kestroveについて(A)...";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string Utf16(std::string_view ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A private copy of the executable, so that only this test opens it.
class ExecutableCopy {
public:
    explicit ExecutableCopy(const std::function<void(const fs::path&)>& change) {
        char pattern[] = "/tmp/kestrove-about-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        m_dir = pattern;
        m_path = m_dir / "Kestrove";
        fs::copy_file(KestrovePath(), m_path);
        change(m_path);
    }
    ~ExecutableCopy() {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    ExecutableCopy(const ExecutableCopy&) = delete;
    ExecutableCopy& operator=(const ExecutableCopy&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_dir;
    fs::path m_path;
};

void Unchanged(const fs::path&) {}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
}

void RemoveVersionSection(const fs::path& path) {
    Run("objcopy --remove-section .kestrove_version '" + path.string() + "'");
}

// The section header table moved past the end of the file: the program
// still loads (only its segments matter to the loader), its sections are lost.
void SectionTableOutOfFile(const fs::path& path) {
    std::string bytes = ReadFile(path);
    const std::uint64_t past = bytes.size() + 4096;
    std::memcpy(bytes.data() + 40, &past, sizeof past); // e_shoff of a 64-bit ELF file
    WriteFile(path, bytes);
}

// Same length, so the block's layout stays as it was.
void ChangeProductVersion(const fs::path& path) {
    const fs::path block = path.string() + ".version";
    Run("objcopy --dump-section .kestrove_version='" + block.string() + "' '" + path.string() +
        "'");
    std::string bytes = ReadFile(block);
    const std::size_t value =
        bytes.find(Utf16("ProductVersion") + std::string(2, '\0') + Utf16("2.0.0.100"));
    if (value == std::string::npos) {
        throw std::runtime_error("no ProductVersion value in the version section");
    }
    const std::string changed = Utf16("7.3;1,9%5");
    bytes.replace(value + Utf16("ProductVersion").size() + 2, changed.size(), changed);
    WriteFile(block, bytes);
    Run("objcopy --update-section .kestrove_version='" + block.string() + "' '" + path.string() +
        "'");
}

// Counts the times a file is opened.
class OpenCounter {
public:
    explicit OpenCounter(const fs::path& path) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd < 0 || ::inotify_add_watch(m_fd, path.c_str(), IN_OPEN) < 0) {
            throw std::runtime_error("cannot watch " + path.string());
        }
    }
    ~OpenCounter() { ::close(m_fd); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    // The opens since the last call.
    int take() {
        alignas(inotify_event) char buffer[4096];
        int opens = 0;
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0) {
                return opens;
            }
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                opens += (event->mask & IN_OPEN) != 0 ? 1 : 0;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
};

std::optional<Window> FindViewable(XClient& x, const std::string& name) {
    return x.findWindow([&](Window w) { return x.name(w) == name && x.viewable(w); });
}

void ClickCentre(XClient& x, Window window) {
    const std::optional<WindowGeometry> area = x.geometry(window);
    ASSERT_TRUE(area);
    x.click(window, area->width / 2, area->height / 2, 1);
}

// Through the context menu, as a user opens it; the box once it is shown.
Window OpenAbout(KestroveSession& session) {
    XClient& x = session.x();
    x.click(session.mirror(), 40, 40, 3);
    std::optional<Window> entry;
    EXPECT_TRUE(WaitUntil([&] { return (entry = FindViewable(x, kAboutEntry)).has_value(); }))
        << "no About entry in the context menu";
    if (!entry) {
        return 0;
    }
    ClickCentre(x, *entry);
    std::optional<Window> about;
    EXPECT_TRUE(WaitUntil([&] { return (about = FindViewable(x, kAboutCaption)).has_value(); }))
        << "no About box";
    return about.value_or(0);
}

// Control 1000: the box's text line that names the product.
std::string VersionLabel(XClient& x, Window about) {
    const std::optional<Window> label = x.findWindow([&](Window w) {
        return w != about && x.topLevel(w) == about && x.name(w).starts_with("Kestrove");
    });
    return label ? x.name(*label) : "<no label>";
}

bool AboutClosed(XClient& x) {
    return !FindViewable(x, kAboutCaption).has_value();
}

struct AboutCase {
    const char* what;
    void (*change)(const fs::path&);
    const char* label;
    bool readsAgain; // the second opening reads the file again
};

void PrintTo(const AboutCase& test, std::ostream* out) {
    *out << test.what;
}

class AboutBox : public testing::TestWithParam<AboutCase> {};

TEST_P(AboutBox, ShowsTheVersionOfTheFileItRunsFrom) {
    const AboutCase& test = GetParam();
    const ExecutableCopy executable(test.change);
    KestroveSession session(TwoMonitors(), 2560, 1600, executable.path().string());
    XClient& x = session.x();
    OpenCounter opens(executable.path());
    opens.take();

    // First opening, closed with OK. The label is read at first sight: the
    // template's placeholder must never show.
    Window about = OpenAbout(session);
    ASSERT_NE(about, 0u);
    EXPECT_EQ(VersionLabel(x, about), test.label);
    EXPECT_GT(opens.take(), 0) << "the first opening did not read the file";
    const std::optional<Window> ok = x.findWindow(
        [&](Window w) { return w != about && x.topLevel(w) == about && x.name(w) == "OK"; });
    ASSERT_TRUE(ok);
    ClickCentre(x, *ok);
    ASSERT_TRUE(WaitUntil([&] { return AboutClosed(x); })) << "OK left the box open";

    // Second opening, closed with Escape, which leaves the mirror open.
    about = OpenAbout(session);
    ASSERT_NE(about, 0u);
    EXPECT_EQ(VersionLabel(x, about), test.label);
    EXPECT_EQ(opens.take() > 0, test.readsAgain);
    x.pressKey(about, XK_Escape);
    ASSERT_TRUE(WaitUntil([&] { return AboutClosed(x); })) << "Escape left the box open";
    EXPECT_TRUE(StaysTrue([&] {
        return session.kestrove().running() && x.viewable(session.mirror());
    })) << "Escape in the About box closed the mirror";
    EXPECT_EQ(session.kestrove().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, AboutBox,
    testing::Values(AboutCase{"Built", Unchanged, "Kestrove Ver.:2-0-0-100", false},
                    AboutCase{"ChangedProductVersion", ChangeProductVersion,
                              "Kestrove Ver.:7-3.1-9.:5", false},
                    AboutCase{"NoVersionSection", RemoveVersionSection, "Kestrove ", true},
                    AboutCase{"SectionTableOutOfFile", SectionTableOutOfFile, "Kestrove ", true}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
