#include "platform/x11/connection/vanished_object_errors.h"

#include <X11/Xproto.h>
#include <X11/extensions/randr.h>
#include <X11/extensions/render.h>

namespace kestrove::x11 {

namespace {

int OpcodeOf(Display* display, const char* name, int* errorBase = nullptr) {
    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(display, name, &opcode, &firstEvent, &firstError)) {
        return 0;
    }
    if (errorBase != nullptr) {
        *errorBase = firstError;
    }
    return opcode;
}

bool IsCoreVanishing(int request, int error) {
    switch (error) {
    case BadWindow: // any request naming a window that another client destroyed
        return true;
    case BadMatch: // focus on a window no longer viewable, stacking against a gone sibling
        return request == X_SetInputFocus || request == X_ConfigureWindow;
    case BadDrawable: // a window destroyed while its repaint was on its way
        return request == X_GetGeometry || request == X_CopyArea || request == X_PolyFillRectangle;
    default:
        return false;
    }
}

bool IsRandrVanishing(int minor, int error, int errorBase) {
    // An output, CRTC or provider listed a moment ago and gone since.
    return (minor == X_RRGetOutputInfo && error == errorBase + BadRROutput) ||
           (minor == X_RRGetCrtcInfo && error == errorBase + BadRRCrtc) ||
           (minor == X_RRGetProviderInfo && error == errorBase + BadRRProvider);
}

} // namespace

ExtensionCodes QueryExtensionCodes(Display* display) {
    ExtensionCodes codes;
    codes.randrOpcode = OpcodeOf(display, "RANDR", &codes.randrErrorBase);
    codes.renderOpcode = OpcodeOf(display, "RENDER");
    return codes;
}

bool IsVanishedObjectError(const XErrorEvent& error, const ExtensionCodes& codes) {
    const int request = error.request_code;
    const int minor = error.minor_code;
    const int code = error.error_code;
    if (code == BadWindow) {
        return true;
    }
    if (request < 128) {
        return IsCoreVanishing(request, code);
    }
    if (codes.randrOpcode != 0 && request == codes.randrOpcode) {
        return IsRandrVanishing(minor, code, codes.randrErrorBase);
    }
    // A picture made for a window that was destroyed meanwhile.
    return codes.renderOpcode != 0 && request == codes.renderOpcode &&
           minor == X_RenderCreatePicture && code == BadDrawable;
}

} // namespace kestrove::x11
