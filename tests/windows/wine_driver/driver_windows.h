// What the driver needs of another process: finding its windows, reading
// their text, typing into them, and the modules it has loaded.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace driver {

// The first visible top-level window of the process that `accept` takes.
HWND FindProcessWindow(DWORD processId, const std::function<bool(HWND)>& accept);

// Polls `condition` until it holds or `timeout` has passed.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// WM_GETTEXT with a bounded wait, so a hung window fails the check instead
// of hanging the driver.
std::wstring WindowText(HWND hwnd);

// Brings the window to the front and types the keys: each is pressed in
// order, then all are released in reverse order (a chord such as Ctrl+2).
void PressChord(HWND hwnd, std::initializer_list<WORD> virtualKeys);

// The full path of the module named `fileName` (any case) that the process
// has loaded; empty when it has none of that name.
std::wstring LoadedModulePath(DWORD processId, const std::wstring& fileName);

// The full paths of every module the process has loaded, its .exe first.
std::vector<std::wstring> LoadedModulePaths(DWORD processId);

std::wstring SystemFolder();

std::string Narrow(const std::wstring& text);

} // namespace driver
