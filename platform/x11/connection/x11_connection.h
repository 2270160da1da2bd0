// The X connection and what every part of the backend reads from it.
#pragma once

#include "platform/x11/connection/x11_atoms.h"

#include <X11/Xlib.h>

namespace kestrove::x11 {

struct X11Connection {
    explicit X11Connection(Display* connection)
        : display(connection), screen(DefaultScreen(connection)),
          root(RootWindow(connection, screen)), atoms(connection) {}

    Display* display;
    int screen;
    Window root;
    Atoms atoms;
};

} // namespace kestrove::x11
