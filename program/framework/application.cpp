#include "program/framework/application.h"

#include "common/file_stem.h"
#include "platform/platform.h"
#include "program/framework/dialog.h"
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
    ThePlatform().shell.setRestartSupport(
        (m_dwRestartManagerSupportFlags & kRestartSupportRestart) != 0);
    return true;
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

} // namespace kestrove
