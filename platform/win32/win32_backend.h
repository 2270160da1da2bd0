// The Win32 backend whole: every group of the seam on the real API.
//
// No operation is a no-op or a constant answer: each is the Windows call it
// stands for, or (Shell::setRestartSupport) the calls of the framework's
// restart registration. The common controls are registered by the dialog
// manager itself: only Windows has them, so the program does not ask.
//
// Start reading at the dialog manager (win32_dialog_manager.h): its modal
// loop is the program's message loop.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_dialog_manager.h"
#include "platform/win32/win32_displays.h"
#include "platform/win32/win32_magnifier_control.h"
#include "platform/win32/win32_resources.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_windowing.h"

#include <string>

namespace kestrove::win32 {

class Win32Backend {
public:
    Win32Backend(HINSTANCE instance, std::u16string commandLineArguments)
        : m_magnifier(instance), m_resources(instance), m_shell(std::move(commandLineArguments)),
          m_dialogs(instance, m_shell), m_platform{m_displays, m_magnifier, m_windowing,
                                                   m_dialogs,  m_resources, m_shell} {}
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    Platform& platform() { return m_platform; }

private:
    Win32Displays m_displays;
    Win32MagnifierControl m_magnifier;
    Win32Windowing m_windowing;
    Win32Resources m_resources;
    Win32Shell m_shell;
    Win32DialogManager m_dialogs;
    Platform m_platform;
};

} // namespace kestrove::win32
