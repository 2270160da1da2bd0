#include "platform/x11/x11_backend.h"

namespace kestrove::x11 {

X11Backend::X11Backend(Display* display, std::vector<std::string> arguments)
    : m_x(display), m_loop(display), m_displays(display),
      m_magnifiers(display, m_windows, m_displays), m_dialogs(m_x, m_windows, m_loop, m_magnifiers),
      m_windowing(m_x, m_windows, m_loop, m_dialogs, m_magnifiers),
      m_shell(std::move(arguments)), m_platform{m_displays, m_magnifiers, m_windowing,
                                                m_dialogs,  m_resources,  m_shell} {
    // The magnifiers see events first: the screen's damage and the cursor
    // concern every mirror, whatever window the event names.
    m_loop.addTarget(m_magnifiers);
    m_loop.addTarget(m_dialogs);
    m_magnifiers.setNotice([this](WindowHandle owner, std::u16string_view text) {
        // Captioned with the application's name, as the program's own boxes are.
        char16_t path[260] = {};
        const std::u16string_view module(path, m_shell.getModuleFileName(path, 260));
        std::u16string_view name = module.substr(module.find_last_of(u'/') + 1);
        name = name.substr(0, name.rfind(u'.'));
        m_dialogs.messageBox(owner, text, name, win::MB_OK | win::MB_ICONEXCLAMATION);
    });
}

} // namespace kestrove::x11
