// kestrove_wine_driver <Kestrove.exe> <screen width> <screen height>
//
// Starts Kestrove.exe with its standard output on a pipe, then checks what a
// user would: the title for Wine's one monitor, the fitted size, the picture
// (through wine_smoke.sh, which reads it from the X side), that Ctrl+2,
// Return and Escape change nothing, the About box's version label, that
// Alt+F4 ends the process, and the diagnostic lines. Prints one line per
// check and exits non-zero when any failed.
#include "driver_windows.h"

#include <cstdio>
#include <functional>
#include <string>
#include <thread>

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
void CheckMagnificationFromSystemFolder(DWORD processId) {
    const std::wstring loaded = driver::LoadedModulePath(processId, L"Magnification.dll");
    const std::wstring expected = driver::SystemFolder() + L"\\Magnification.dll";
    Check(lstrcmpiW(loaded.c_str(), expected.c_str()) == 0,
          "the Magnification API comes from the system folder",
          loaded.empty() ? "not loaded" : driver::Narrow(loaded));
}

// The picture is checked from the X side (wine_smoke.sh): this prints where
// the mirror's client area lies on the screen, as "mirror X Y WIDTH HEIGHT",
// and waits for a line on standard input that says the check is over.
void HandOverMirror(HWND main) {
    RECT client{};
    GetClientRect(main, &client);
    POINT origin{0, 0};
    ClientToScreen(main, &origin);
    std::printf("mirror %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
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

int FittedHeight(int width, int screenWidth, int screenHeight) {
    return static_cast<int>(static_cast<double>(screenHeight) / screenWidth * width);
}

// Sizing from the keyboard, as the system menu's Size item does it: the
// window refits to the monitor's aspect once the sizing ends.
void CheckSizingRefits(HWND main, int screenWidth, int screenHeight) {
    RECT before{};
    GetClientRect(main, &before);
    PostMessageW(main, WM_SYSCOMMAND, SC_SIZE, 0);
    Settle();
    // One key at a time: the sizing loop moves the pointer after each.
    for (int step = 0; step < 8; ++step) {
        driver::PressChord(main, {VK_RIGHT});
        std::this_thread::sleep_for(100ms);
    }
    driver::PressChord(main, {VK_RETURN});
    RECT after{};
    const bool refit = driver::WaitFor(
        [&] {
            GetClientRect(main, &after);
            const int width = after.right - after.left;
            return width != before.right - before.left &&
                   after.bottom - after.top == FittedHeight(width, screenWidth, screenHeight);
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

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: kestrove_wine_driver <Kestrove.exe> <width> <height>\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const int screenWidth = _wtoi(argv[2]);
    const int screenHeight = _wtoi(argv[3]);

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
        const std::wstring title = driver::WindowText(main);
        Check(title == L"Kestrove - [1:1] Wine Adapter", "the title", driver::Narrow(title));

        // The window takes the monitor's aspect ratio when it opens.
        RECT client{};
        GetClientRect(main, &client);
        const int fitted = FittedHeight(client.right - client.left, screenWidth, screenHeight);
        Check(client.bottom - client.top == fitted, "the client area has the monitor's aspect",
              Describe(client));

        CheckMagnificationFromSystemFolder(processId);
        HandOverMirror(main);
        CheckKeysChangeNothing(main);
        CheckSizingRefits(main, screenWidth, screenHeight);
        HandOverMirror(main); // the picture at the new size and zoom
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

        driver::PressChord(main, {VK_MENU, VK_F4});
    }
    const bool ended = WaitForSingleObject(child.process.hProcess, 15000) == WAIT_OBJECT_0;
    Check(shown && ended, "Alt+F4 ends the process");
    if (!ended) {
        TerminateProcess(child.process.hProcess, 1);
        WaitForSingleObject(child.process.hProcess, 5000);
    }

    // The one monitor Wine reports is the X screen; with no window manager
    // publishing a work area, the work area is the whole screen. The
    // runtime's text mode ends each line with CR LF, as on Windows.
    const std::string w = std::to_string(screenWidth);
    const std::string h = std::to_string(screenHeight);
    const std::string monitorLine =
        "rcMonitor top=0, left=0, bottom=" + h + ", right=" + w + "\r\n";
    const std::string expected = monitorLine + "rcWork top=0, left=0, bottom=" + h +
                                 ", right=" + w + "\r\nFlag = 1\r\n" + monitorLine;
    const std::string output = ReadAll(child.output);
    Check(output == expected, "the diagnostic lines", "\n" + output);

    CloseHandle(child.output);
    CloseHandle(child.process.hThread);
    CloseHandle(child.process.hProcess);
    std::printf("%s\n", s_failures == 0 ? "all checks passed" : "some checks FAILED");
    return s_failures == 0 ? 0 : 1;
}
