// The atoms the windowing code uses, interned once per display, and the
// property writes that several kinds of window share.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrove::x11 {

struct Atoms {
    explicit Atoms(Display* display);

    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom wmState;
    Atom utf8String;
    Atom netWmName;
    Atom netWmIcon;
    Atom netWmPid;
    Atom netWmWindowType;
    Atom netWmWindowTypeDialog;
    Atom netWmWindowTypeNormal;
    Atom netWmWindowTypePopupMenu;
    Atom netWmState;
    Atom netWmStateModal;
    Atom motifWmHints;
};

// WM_NAME and _NET_WM_NAME (UTF-8): the title of a top-level window, the
// text of a control or a menu entry.
void SetWindowName(Display* display, const Atoms& atoms, Window window, std::u16string_view text);

// A 32-bit property of `type` holding `values` (CARDINAL, ATOM, ...).
void SetCardinals(Display* display, Window window, Atom property, Atom type,
                  const std::vector<long>& values);

// True when WM_STATE says the window is iconic.
bool IsIconicState(Display* display, const Atoms& atoms, Window window);

} // namespace kestrove::x11
