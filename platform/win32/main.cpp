// The Windows entry: the runtime has constructed the application object;
// set up the platform and run it.
#include "platform/win32/win32_backend.h"
#include "program/framework/application.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // No critical-error or missing-file boxes from the system.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

    kestrove::Application* app = kestrove::Application::Current();
    if (app == nullptr) {
        return 1;
    }
    const wchar_t* arguments = commandLine != nullptr ? commandLine : L"";
    kestrove::win32::Win32Backend backend(instance,
                                          std::u16string(arguments, arguments + wcslen(arguments)));
    kestrove::SetThePlatform(&backend.platform());
    const int status = app->Run();
    kestrove::SetThePlatform(nullptr);
    return status;
}
