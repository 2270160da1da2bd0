#include "framework/application.h"

#include "common/file_stem.h"
#include "common/wide_format.h"
#include "framework/dialog.h"
#include "platform/platform.h"
#include "res/framework_ids.h"
#include "res/resource_lookup.h"

#include <cassert>

namespace kestrove {

namespace {

Application* s_pCurrentApp = nullptr;

// The path with its extension (if any, in the file name) replaced.
std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension) {
    const auto slash = path.find_last_of(u"\\/");
    const auto dot = path.rfind(u'.');
    const bool hasExtension =
        dot != std::u16string_view::npos && (slash == std::u16string_view::npos || dot > slash);
    return std::u16string(hasExtension ? path.substr(0, dot) : path) + std::u16string(extension);
}

} // namespace

Application::Application() {
    assert(s_pCurrentApp == nullptr && "one application object per process");
    s_pCurrentApp = this;
}

Application::~Application() {
    if (s_pCurrentApp == this) {
        s_pCurrentApp = nullptr;
    }
}

Application* Application::Current() {
    return s_pCurrentApp;
}

int Application::Run() {
    char16_t path[260] = {};
    ThePlatform().shell.getModuleFileName(path, 260);
    // The title in the string table names the application; the file's name
    // only where there is none (the file may be installed as "kestrove").
    m_appName = res::FindString(IDS_FRAMEWORK_APP_TITLE);
    if (m_appName.empty()) {
        m_appName = FileStem(path);
    }
    m_helpFilePath = ReplaceExtension(path, u".HLP");
    // The program runs its windows modally inside InitInstance, so there is
    // no message loop to run afterwards, whatever it returns.
    InitInstance();
    return ExitInstance();
}

bool Application::InitInstance() {
    const bool restartSupported = (m_dwRestartManagerSupportFlags & kRestartSupportRestart) != 0;
    ThePlatform().shell.setRestartSupported(restartSupported);
    if (restartSupported) {
        RegisterRestart();
    }
    return true;
}

void Application::RegisterRestart() {
    Guid guid;
    if (!ThePlatform().shell.createGuid(guid)) {
        return;
    }
    const std::u16string commandLine = BuildRestartCommandLine(
        ThePlatform().shell.commandLineArguments(), FormatRestartIdentifier(guid));
    ThePlatform().shell.registerApplicationRestart(commandLine, 0);
}

bool Application::OnCmdMsg(std::uint32_t id) {
    if (id == ID_HELP) {
        // Without a window to ask, the main window's context stands.
        OnHelp(m_pMainWnd != nullptr ? HelpContextOf(*m_pMainWnd) : 0);
        return true;
    }
    return false;
}

void Application::OnHelp(std::uint32_t helpContext) {
    const WindowHandle main = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : 0;
    if (!ThePlatform().shell.winHelp(main, m_helpFilePath, win::HELP_CONTEXT, helpContext)) {
        ShowMessage(res::FindString(IDS_FRAMEWORK_HELP_FAILED),
                    win::MB_OK | win::MB_ICONEXCLAMATION);
    }
}

int Application::ShowMessage(std::u16string_view text, std::uint32_t type) {
    const WindowHandle owner = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : 0;
    return ThePlatform().dialogs.messageBox(owner, text, m_appName, type);
}

std::u16string FormatRestartIdentifier(const Guid& guid) {
    const auto b = guid.data4;
    return WideFormat(u"%08lX-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X",
                      {std::int64_t{guid.data1}, std::int64_t{guid.data2}, std::int64_t{guid.data3},
                       std::int64_t{b[0]}, std::int64_t{b[1]}, std::int64_t{b[2]},
                       std::int64_t{b[3]}, std::int64_t{b[4]}, std::int64_t{b[5]},
                       std::int64_t{b[6]}, std::int64_t{b[7]}});
}

std::u16string BuildRestartCommandLine(std::u16string_view arguments,
                                       std::u16string_view identifier) {
    const std::u16string restartArgument = u"RestartByRestartManager:" + std::u16string(identifier);
    std::u16string commandLine(arguments);
    if (commandLine.find(restartArgument) == std::u16string::npos) {
        commandLine += u" /" + restartArgument;
    }
    return commandLine;
}

} // namespace kestrove
