#include "platform/x11/connection/x11_backend.h"

#include "common/file_stem.h"

namespace kestrove::x11 {

namespace {

std::u16string ApplicationName(X11Shell& shell) {
    char16_t path[260] = {};
    return FileStem(std::u16string_view(path, shell.getModuleFileName(path, 260)));
}

} // namespace

X11Backend::X11Backend(Display* display)
    : m_x(display), m_loop(display), m_accessible(display, ApplicationName(m_shell)),
      m_displays(display), m_magnifiers(display, m_windows, m_displays),
      m_dialogs(m_x, m_windows, m_loop, m_magnifiers, m_displays, m_accessible),
      m_windowing(m_x, m_windows, m_loop, m_dialogs, m_magnifiers),
      m_platform{m_displays, m_magnifiers, m_windowing, m_dialogs, m_resources, m_shell} {
    // The magnifiers see events first: the screen's damage and the cursor
    // concern every mirror, whatever window the event names.
    m_loop.addTarget(m_magnifiers);
    m_loop.addTarget(m_dialogs);
    m_loop.addTarget(m_accessible);
    m_magnifiers.setNotice([this](WindowHandle owner, std::u16string_view text) {
        m_dialogs.postNotice(owner, std::u16string(text));
    });
}

} // namespace kestrove::x11
