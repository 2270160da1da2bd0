#include "platform/x11/connection/x11_atoms.h"

#include "common/utf.h"
#include "platform/x11/connection/window_property.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <array>
#include <string>

namespace kestrove::x11 {

namespace {
constexpr std::uint32_t kIconicState = 3;
}

Atoms::Atoms(Display* display) {
    std::array<char*, 14> names{
        const_cast<char*>("WM_PROTOCOLS"),
        const_cast<char*>("WM_DELETE_WINDOW"),
        const_cast<char*>("WM_STATE"),
        const_cast<char*>("UTF8_STRING"),
        const_cast<char*>("_NET_WM_NAME"),
        const_cast<char*>("_NET_WM_ICON"),
        const_cast<char*>("_NET_WM_PID"),
        const_cast<char*>("_NET_WM_WINDOW_TYPE"),
        const_cast<char*>("_NET_WM_WINDOW_TYPE_DIALOG"),
        const_cast<char*>("_NET_WM_WINDOW_TYPE_NORMAL"),
        const_cast<char*>("_NET_WM_WINDOW_TYPE_POPUP_MENU"),
        const_cast<char*>("_NET_WM_STATE"),
        const_cast<char*>("_NET_WM_STATE_MODAL"),
        const_cast<char*>("_MOTIF_WM_HINTS"),
    };
    std::array<Atom, 14> atoms{};
    XInternAtoms(display, names.data(), static_cast<int>(names.size()), False, atoms.data());
    wmProtocols = atoms[0];
    wmDeleteWindow = atoms[1];
    wmState = atoms[2];
    utf8String = atoms[3];
    netWmName = atoms[4];
    netWmIcon = atoms[5];
    netWmPid = atoms[6];
    netWmWindowType = atoms[7];
    netWmWindowTypeDialog = atoms[8];
    netWmWindowTypeNormal = atoms[9];
    netWmWindowTypePopupMenu = atoms[10];
    netWmState = atoms[11];
    netWmStateModal = atoms[12];
    motifWmHints = atoms[13];
}

void SetWindowName(Display* display, const Atoms& atoms, Window window, std::u16string_view text) {
    std::string utf8 = ToUtf8(text);
    auto* bytes = reinterpret_cast<unsigned char*>(utf8.data());
    const int length = static_cast<int>(utf8.size());
    XChangeProperty(display, window, atoms.netWmName, atoms.utf8String, 8, PropModeReplace, bytes,
                    length);
    // WM_NAME is text in the ICCCM encodings; Xlib picks STRING or
    // COMPOUND_TEXT, and UTF8_STRING is what readers of today accept when
    // neither can hold the text.
    char* list[] = {utf8.data()};
    XTextProperty property{};
    const int status = Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property);
    if (status == Success) {
        XSetWMName(display, window, &property);
        XFree(property.value);
    } else {
        if (status > 0) {
            XFree(property.value);
        }
        XChangeProperty(display, window, XA_WM_NAME, atoms.utf8String, 8, PropModeReplace, bytes,
                        length);
    }
}

void SetCardinals(Display* display, Window window, Atom property, Atom type,
                  const std::vector<long>& values) {
    XChangeProperty(display, window, property, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
}

bool IsIconicState(Display* display, const Atoms& atoms, Window window) {
    // The window manager writes WM_STATE: state and icon window.
    const auto state = ReadCardinals(display, window, atoms.wmState, atoms.wmState, 2);
    return state && !state->empty() && (*state)[0] == kIconicState;
}

} // namespace kestrove::x11
