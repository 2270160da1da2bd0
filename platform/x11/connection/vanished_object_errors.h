// X errors that are the normal result of a window or a monitor vanishing
// between the moment Kestrove learnt of it and its request reaching the
// server. Those are ignored; any other error is a fault worth a line.
#pragma once

#include <X11/Xlib.h>

namespace kestrove::x11 {

// Where the extensions Kestrove sends requests to put their opcodes and
// errors on this server; 0 for an extension that is missing.
struct ExtensionCodes {
    int randrOpcode = 0;
    int randrErrorBase = 0;
    int renderOpcode = 0;
};

ExtensionCodes QueryExtensionCodes(Display* display);

// True for the (request, error) pairs that a vanished window or monitor
// causes.
bool IsVanishedObjectError(const XErrorEvent& error, const ExtensionCodes& codes);

} // namespace kestrove::x11
