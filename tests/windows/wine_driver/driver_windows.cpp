#include "driver_windows.h"

#include <tlhelp32.h>

#include <thread>
#include <vector>

namespace driver {

namespace {

struct Search {
    DWORD processId;
    const std::function<bool(HWND)>* accept;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && IsWindowVisible(hwnd) && (*search->accept)(hwnd)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& accept) {
    Search search{processId, &accept, nullptr};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(hwnd, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 5000, &copied) == 0) {
        return L"<no answer>";
    }
    return std::wstring(text, copied);
}

void PressChord(HWND hwnd, std::initializer_list<WORD> virtualKeys) {
    // Activating again would end a sizing loop that the keys are meant for.
    if (GetForegroundWindow() != hwnd) {
        SetForegroundWindow(hwnd);
    }
    std::vector<INPUT> inputs;
    for (const WORD key : virtualKeys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = std::rbegin(virtualKeys); key != std::rend(virtualKeys); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::wstring LoadedModulePath(DWORD processId, const std::wstring& fileName) {
    for (const std::wstring& path : LoadedModulePaths(processId)) {
        const std::size_t slash = path.find_last_of(L"\\/");
        const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
        if (lstrcmpiW(name.c_str(), fileName.c_str()) == 0) {
            return path;
        }
    }
    return {};
}

std::vector<std::wstring> LoadedModulePaths(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::vector<std::wstring> paths;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot, &module); more;
         more = Module32NextW(snapshot, &module)) {
        paths.emplace_back(module.szExePath);
    }
    CloseHandle(snapshot);
    return paths;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

std::string Narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

} // namespace driver
