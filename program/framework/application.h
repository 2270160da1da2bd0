// The application object: the least of an application framework that the
// program relies on (names, help, the main-window reference, restart
// support). One instance per process, reachable through Current().
#pragma once

#include <cstdint>
#include <string>

namespace kestrove {

class Dialog;

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* Current();

    // The framework's run: derive the names from the executable, call
    // InitInstance, then ExitInstance. Returns the process exit status.
    int Run();

    virtual bool InitInstance();
    virtual int ExitInstance() { return 0; }

    // Commands that no window took (the application's message map).
    virtual bool OnCmdMsg(std::uint32_t id);
    // F1: the help request for the given context, with the message box when
    // the help engine cannot be started.
    void OnHelp(std::uint32_t helpContext);
    // A framework message box captioned with the application name.
    int ShowMessage(std::u16string_view text, std::uint32_t type);

    const std::u16string& appName() const { return m_appName; }

    // The restart-support bit of m_dwRestartManagerSupportFlags.
    static constexpr std::uint32_t kRestartSupportRestart = 0x01;

    Dialog* m_pMainWnd = nullptr;
    std::uint32_t m_dwRestartManagerSupportFlags = 0;

private:
    std::u16string m_appName;
    std::u16string m_helpFilePath;
};

} // namespace kestrove
