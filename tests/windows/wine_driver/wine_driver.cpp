// kestrove_wine_driver <Kestrove.exe> <adapter> <standin|none> <monitor>...
//
// Starts Kestrove.exe with its standard output on a pipe, then checks what a
// user would under Wine, whose monitors are given as left,top,right,bottom in
// virtual-screen pixels, the primary first, and whose display adapter is
// named <adapter>: the title, the fitted size, the picture (through
// wine_smoke.sh, which reads it from the X side), Ctrl+1 and Ctrl+2, Return
// and Escape, a resize, the About box's version label, that Alt+F4 ends the
// process, and the diagnostic lines. No DLL planted in the program's folder
// may run (wine_smoke.sh puts decoys there).
//
// "standin": the prefix's Magnification.dll is the tests' stand-in, which
// records every call in the file KESTROVE_MAGNIFICATION_LOG names; the calls
// and their arguments are checked, and their order at exit. "none": the
// prefix's Magnification API is missing or unusable (Wine's stubs), and the
// mirror must be the blank child.
//
// Prints one line per check and exits non-zero when any failed.
#include "driver_windows.h"
#include "magnification_log.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

int s_failures = 0;

void Check(bool ok, const std::string& what, const std::string& detail = {}) {
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAIL", what.c_str(), detail.empty() ? "" : " -- ",
                detail.c_str());
    std::fflush(stdout);
    if (!ok) {
        ++s_failures;
    }
}

struct Child {
    PROCESS_INFORMATION process{};
    HANDLE output = nullptr; // read end of the child's standard output
};

bool Start(const std::wstring& exe, Child& child) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&child.output, &writeEnd, &inherit, 1 << 16)) {
        return false;
    }
    SetHandleInformation(child.output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring commandLine = L"\"" + exe + L"\"";
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &child.process);
    CloseHandle(writeEnd);
    return started != FALSE;
}

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& rc) {
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + " " +
           std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top);
}

HWND FindMainWindow(DWORD processId) {
    return driver::FindProcessWindow(
        processId, [](HWND hwnd) { return driver::WindowText(hwnd).starts_with(L"Kestrove - "); });
}

HWND FindAboutBox(DWORD processId, HWND owner) {
    return driver::FindProcessWindow(processId, [owner](HWND hwnd) {
        wchar_t className[64] = {};
        GetClassNameW(hwnd, className, 64);
        return std::wstring(className) == L"#32770" && GetWindow(hwnd, GW_OWNER) == owner;
    });
}

// wine_smoke.sh puts a Magnification.dll beside Kestrove.exe: the program
// must take the system folder's, and no other.
void CheckFromSystemFolder(DWORD processId, const std::wstring& fileName, bool mustBeLoaded) {
    const std::wstring loaded = driver::LoadedModulePath(processId, fileName);
    const std::wstring expected = driver::SystemFolder() + L"\\" + fileName;
    Check(lstrcmpiW(loaded.c_str(), expected.c_str()) == 0 || (!mustBeLoaded && loaded.empty()),
          driver::Narrow(fileName) + " comes from the system folder",
          loaded.empty() ? "not loaded" : driver::Narrow(loaded));
}

std::wstring LogPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"KESTROVE_MAGNIFICATION_LOG", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : L"";
}

// The decoys beside the .exe are copies of the stand-in, which records the
// path of each copy that runs: none from the program's folder may. (The
// module list cannot tell for VERSION.dll under Wine: Wine's own DLLs import
// it by name, and Wine maps its built-in one under the planted file's path.)
void CheckNoDecoyRan(const std::wstring& exe) {
    const std::string folder = driver::Narrow(exe.substr(0, exe.find_last_of(L'\\') + 1));
    std::string ran;
    for (const auto& call : driver::ReadMagnificationLog(LogPath())) {
        const std::string prefix = "DLL_PROCESS_ATTACH ";
        if (call.line.starts_with(prefix) &&
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, call.line.c_str() + prefix.size(),
                           static_cast<int>(folder.size()), folder.c_str(),
                           static_cast<int>(folder.size())) == CSTR_EQUAL) {
            ran += " " + call.line.substr(prefix.size());
        }
    }
    Check(ran.empty(), "no DLL planted beside the program runs in it", ran);
}

// The stand-in's record of the last source and transform: the magnifier child
// of `main`, monitor `source`, a zoom that fits its width to the client area.
void CheckMagnifierCalls(HWND main, const RECT& source, const std::string& when) {
    // The log is written as the program handles its messages: a refit the
    // window already shows may still be on its way to the stand-in.
    std::vector<driver::MagnificationCall> calls;
    const driver::MagnificationCall* lastSource = nullptr;
    const driver::MagnificationCall* lastTransform = nullptr;
    bool sameWindows = false;
    bool sourceRight = false;
    bool zoomRight = false;
    float zoom = 0;
    driver::WaitFor(
        [&] {
            calls = driver::ReadMagnificationLog(LogPath());
            HWND child = FindWindowExW(main, nullptr, L"Magnifier", nullptr);
            const auto magnifier = reinterpret_cast<unsigned long long>(child);
            const auto parent = reinterpret_cast<unsigned long long>(main);
            lastSource = nullptr;
            lastTransform = nullptr;
            sameWindows = child != nullptr;
            for (const auto& call : calls) {
                if (call.function == "MagSetWindowSource") {
                    lastSource = &call;
                } else if (call.function == "MagSetWindowTransform") {
                    lastTransform = &call;
                } else {
                    continue;
                }
                sameWindows = sameWindows && call.magnifier == magnifier && call.parent == parent;
            }
            sourceRight = lastSource != nullptr && lastSource->result == 1 &&
                          EqualRect(&lastSource->source, &source) != FALSE;
            RECT client{};
            GetClientRect(main, &client);
            zoom = static_cast<float>(static_cast<double>(client.right) /
                                      static_cast<double>(source.right - source.left));
            const float expected[9] = {zoom, 0, 0, 0, zoom, 0, 0, 0, 1.0f};
            zoomRight = lastTransform != nullptr && lastTransform->result == 1;
            for (int i = 0; zoomRight && i < 9; ++i) {
                zoomRight = lastTransform->matrix[i] == expected[i];
            }
            return sameWindows && sourceRight && zoomRight;
        },
        5s);
    const auto first = std::find_if(calls.begin(), calls.end(), [](const auto& call) {
        return call.function.starts_with("Mag");
    });
    Check(first != calls.end() && first->line == "MagInitialize -> 1",
          "MagInitialize is the first call, and succeeds",
          first == calls.end() ? "nothing recorded" : first->line);
    Check(sameWindows, "every call names the mirror's Magnifier child and the mirror " + when);
    Check(sourceRight, "the source rectangle is the monitor's " + when,
          lastSource != nullptr ? lastSource->line : "no MagSetWindowSource");
    Check(zoomRight, "the zoom fits the monitor's width to the client area " + when,
          (lastTransform != nullptr ? lastTransform->line : "no MagSetWindowTransform") +
              ", expected zoom " + std::to_string(zoom));
}

// At exit: MagUninitialize, then the DLL unloaded by FreeLibrary, and
// nothing after them.
void CheckCallsAtExit() {
    const auto calls = driver::ReadMagnificationLog(LogPath());
    std::string order;
    for (const auto& call : calls) {
        order += "\n  " + call.line;
    }
    const std::size_t n = calls.size();
    Check(n >= 3 && calls[n - 2].line == "MagUninitialize -> 1" &&
              calls[n - 1].line == "DLL_PROCESS_DETACH FreeLibrary",
          "at exit MagUninitialize comes before the DLL is unloaded", order);
}

// The picture is checked from the X side (wine_smoke.sh): this prints which
// monitor (from 0) the mirror shows and where its client area lies on the
// screen, as "mirror MONITOR X Y WIDTH HEIGHT" (virtual-screen pixels), and
// waits for a line on standard input that says the check is over.
void HandOverMirror(HWND main, std::size_t monitor) {
    RECT client{};
    GetClientRect(main, &client);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    std::printf("mirror %zu %ld %ld %ld %ld\n", monitor, origin.x, origin.y, client.right,
                client.bottom);
    std::fflush(stdout);
    char answer = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &answer, 1, &got, nullptr) && got == 1 &&
           answer != '\n') {
    }
}

// Nothing a key did shows at once; give the window time to react.
void Settle() {
    std::this_thread::sleep_for(700ms);
}

void CheckKeysChangeNothing(HWND main) {
    const std::wstring title = driver::WindowText(main);
    RECT before{};
    GetWindowRect(main, &before);

    driver::PressChord(main, {VK_CONTROL, '2'});
    Settle();
    RECT after{};
    GetWindowRect(main, &after);
    Check(driver::WindowText(main) == title && SameRect(before, after),
          "Ctrl+2 with one monitor changes nothing",
          driver::Narrow(driver::WindowText(main)) + " " + Describe(after));

    driver::PressChord(main, {VK_RETURN});
    Settle();
    driver::PressChord(main, {VK_ESCAPE});
    Settle();
    Check(IsWindow(main) && IsWindowVisible(main), "Return and Escape leave the window open");
}

int FittedHeight(int width, const RECT& monitor) {
    return static_cast<int>(static_cast<double>(monitor.bottom - monitor.top) /
                            (monitor.right - monitor.left) * width);
}

// A sizing operation of the system menu's Size item, during which the
// window grows 64 pixels wider: once it ends (Return), the window refits to
// the monitor's aspect. The width is set from here, not with the arrow keys:
// Wine's sizing loop answers an arrow key by moving the cursor with
// SetCursorPos and sizes on the mouse move that follows, which Wine 10 on X11
// does not deliver (for any program's window; Wine 8 does).
void CheckSizingRefits(HWND main, const RECT& monitor) {
    RECT before{};
    GetClientRect(main, &before);
    PostMessageW(main, WM_SYSCOMMAND, SC_SIZE, 0);
    Settle();
    RECT frame{};
    GetWindowRect(main, &frame);
    SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left + 64, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle();
    driver::PressChord(main, {VK_RETURN});
    RECT after{};
    const bool refit = driver::WaitFor(
        [&] {
            GetClientRect(main, &after);
            const int width = after.right - after.left;
            return width != before.right - before.left &&
                   after.bottom - after.top == FittedHeight(width, monitor);
        },
        5s);
    Check(refit, "the end of sizing refits the window to the monitor's aspect",
          Describe(before) + " -> " + Describe(after));
}

// Log-off and shut-down requests, and a close request for a restart (the
// program supports restarts), are all answered with TRUE.
void CheckEndSessionAnswers(HWND main) {
    for (const LPARAM flags : {LPARAM{0}, LPARAM{ENDSESSION_CLOSEAPP}, LPARAM{ENDSESSION_LOGOFF}}) {
        DWORD_PTR answer = 0;
        const bool answered = SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, flags,
                                                  SMTO_ABORTIFHUNG, 5000, &answer) != 0;
        Check(answered && answer == TRUE, "WM_QUERYENDSESSION is answered with TRUE",
              "flags " + std::to_string(flags) + ", answer " + std::to_string(answer));
    }
    Check(IsWindowVisible(main), "the window stays open after the requests");
}

// Opens the About box with `open`, reads it, and closes it with OK, or with
// Escape typed into it.
enum class CloseBy { Ok, Escape };

void CheckAboutBox(DWORD processId, HWND main, const std::string& how,
                   const std::function<void()>& open, CloseBy closeBy) {
    open();
    HWND about = nullptr;
    const bool opened =
        driver::WaitFor([&] { return (about = FindAboutBox(processId, main)) != nullptr; }, 10s);
    Check(opened, how + " opens the About box");
    if (!opened) {
        return;
    }
    Check(driver::WindowText(about) == L"Kestrove \u306b\u3064\u3044\u3066",
          "the About box's caption", driver::Narrow(driver::WindowText(about)));
    const std::wstring label = driver::WindowText(GetDlgItem(about, 1000));
    Check(label == L"Kestrove Ver.:2-0-0-100", "the version label", driver::Narrow(label));
    Check(!IsWindowEnabled(main), "the main window is disabled while the box runs");

    if (closeBy == CloseBy::Ok) {
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    } else {
        driver::PressChord(about, {VK_ESCAPE});
    }
    Check(driver::WaitFor([&] { return !IsWindow(about) && IsWindowEnabled(main); }, 10s),
          std::string(closeBy == CloseBy::Ok ? "OK" : "Escape") +
              " closes the box and enables the main window again");
}

std::string Title(std::size_t number, std::size_t count, const std::string& adapter) {
    return "Kestrove - [" + std::to_string(number) + ":" + std::to_string(count) + "] " + adapter;
}

// Ctrl+<number> with two monitors or more: the title names that monitor, the
// window takes its aspect, and (with the stand-in) the calls and the picture
// show it.
void CheckSelect(HWND main, const std::vector<RECT>& monitors, std::size_t number,
                 const std::string& adapter, bool standin) {
    driver::PressChord(main, {VK_CONTROL, static_cast<WORD>('0' + number)});
    const std::string title = Title(number, monitors.size(), adapter);
    const bool titled =
        driver::WaitFor([&] { return driver::Narrow(driver::WindowText(main)) == title; }, 5s);
    Check(titled, "Ctrl+" + std::to_string(number) + " titles the window " + title,
          driver::Narrow(driver::WindowText(main)));
    const RECT& monitor = monitors[number - 1];
    RECT client{};
    GetClientRect(main, &client);
    Check(client.bottom == FittedHeight(client.right, monitor),
          "the client area has monitor " + std::to_string(number) + "'s aspect", Describe(client));
    if (standin) {
        CheckMagnifierCalls(main, monitor, "after Ctrl+" + std::to_string(number));
        HandOverMirror(main, number - 1);
    }
}

// The stand-in missing or unusable: the child is the blank one.
void CheckBlankMirror(HWND main) {
    Check(FindWindowExW(main, nullptr, L"Magnifier", nullptr) == nullptr &&
              FindWindowExW(main, nullptr, L"Static", L"MagnifierWindow") != nullptr,
          "without a usable Magnification API the mirror is the blank child");
}

std::string DiagnosticLines(const RECT& monitor, bool primary) {
    const std::string rc = "top=" + std::to_string(monitor.top) +
                           ", left=" + std::to_string(monitor.left) +
                           ", bottom=" + std::to_string(monitor.bottom) +
                           ", right=" + std::to_string(monitor.right) + "\r\n";
    // With no window manager publishing a work area, each monitor's work
    // area is the whole monitor.
    return "rcMonitor " + rc + "rcWork " + rc + "Flag = " + (primary ? "1" : "0") +
           "\r\nrcMonitor " + rc;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 3 ? argv[3] : L"";
    std::vector<RECT> monitors;
    for (int i = 4; i < argc; ++i) {
        RECT rc{};
        if (swscanf(argv[i], L"%ld,%ld,%ld,%ld", &rc.left, &rc.top, &rc.right, &rc.bottom) == 4) {
            monitors.push_back(rc);
        }
    }
    if (argc < 5 || monitors.size() != static_cast<std::size_t>(argc - 4) ||
        (mode != L"standin" && mode != L"none")) {
        std::fprintf(stderr, "usage: kestrove_wine_driver <Kestrove.exe> <adapter> <standin|none> "
                             "<left,top,right,bottom>...\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const std::string adapter = driver::Narrow(argv[2]);
    const bool standin = mode == L"standin";

    Child child;
    if (!Start(exe, child)) {
        std::printf("FAIL: cannot start %s (error %lu)\n", driver::Narrow(exe).c_str(),
                    GetLastError());
        return 1;
    }
    const DWORD processId = child.process.dwProcessId;

    HWND main = nullptr;
    const bool shown =
        driver::WaitFor([&] { return (main = FindMainWindow(processId)) != nullptr; }, 30s);
    Check(shown, "the mirror window opens");
    if (shown) {
        const std::string title = driver::Narrow(driver::WindowText(main));
        Check(title == Title(1, monitors.size(), adapter), "the title", title);

        // The window takes the monitor's aspect ratio when it opens.
        RECT client{};
        GetClientRect(main, &client);
        Check(client.bottom - client.top == FittedHeight(client.right - client.left, monitors[0]),
              "the client area has the monitor's aspect", Describe(client));

        CheckFromSystemFolder(processId, L"Magnification.dll", standin);
        if (standin) {
            CheckMagnifierCalls(main, monitors[0], "at start");
            HandOverMirror(main, 0);
        } else {
            CheckBlankMirror(main);
        }
        if (monitors.size() == 1) {
            CheckKeysChangeNothing(main);
        } else {
            CheckSelect(main, monitors, 2, adapter, standin);
            CheckSelect(main, monitors, 1, adapter, standin);
        }
        CheckSizingRefits(main, monitors[0]);
        if (standin) {
            CheckMagnifierCalls(main, monitors[0], "after the resize");
            HandOverMirror(main, 0); // the picture at the new size and zoom
        }
        CheckEndSessionAnswers(main);
        // The system menu's last entry. (Its access key A is no help here:
        // Wine's own "About Wine" entry in the same menu has it too.)
        CheckAboutBox(
            processId, main, "the system menu's About entry",
            [main] {
                driver::PressChord(main, {VK_MENU, VK_SPACE});
                Settle();
                driver::PressChord(main, {VK_UP});
                driver::PressChord(main, {VK_RETURN});
            },
            CloseBy::Ok);
        // Posted: the box runs modally inside the handler of this message.
        CheckAboutBox(
            processId, main, "WM_SYSCOMMAND 0x0010",
            [main] { PostMessageW(main, WM_SYSCOMMAND, 0x0010, 0); }, CloseBy::Escape);
        CheckNoDecoyRan(exe);

        driver::PressChord(main, {VK_MENU, VK_F4});
    }
    const bool ended = WaitForSingleObject(child.process.hProcess, 15000) == WAIT_OBJECT_0;
    DWORD status = 0;
    GetExitCodeProcess(child.process.hProcess, &status);
    Check(shown && ended && status == 0, "Alt+F4 ends the process with status 0",
          "status " + std::to_string(status));
    if (!ended) {
        TerminateProcess(child.process.hProcess, 1);
        WaitForSingleObject(child.process.hProcess, 5000);
    }
    if (standin) {
        CheckCallsAtExit();
    }

    // The runtime's text mode ends each line with CR LF, as on Windows.
    std::string expected;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        expected += DiagnosticLines(monitors[i], i == 0);
    }
    const std::string output = ReadAll(child.output);
    Check(output == expected, "the diagnostic lines", "\n" + output);

    CloseHandle(child.output);
    CloseHandle(child.process.hThread);
    CloseHandle(child.process.hProcess);
    std::printf("%s\n", s_failures == 0 ? "all checks passed" : "some checks FAILED");
    return s_failures == 0 ? 0 : 1;
}
