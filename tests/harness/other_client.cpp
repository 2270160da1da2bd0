#include "tests/harness/other_client.h"

#include "tests/harness/randr_monitor.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/Xrandr.h>

#include <stdexcept>

namespace kestrove::e2e {

namespace {

constexpr long kNormalState = 1;
constexpr long kIconicState = 3;

// Requests on windows that are gone meanwhile are no fault of the test's.
int IgnoreError(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

OtherClient::OtherClient(const std::string& display) : m_display(XOpenDisplay(display.c_str())) {
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open X display " + display);
    }
    XSetErrorHandler(IgnoreError);
}

OtherClient::~OtherClient() {
    XCloseDisplay(m_display);
}

Window OtherClient::root() const {
    return DefaultRootWindow(m_display);
}

void OtherClient::sync() {
    XSync(m_display, False);
}

void OtherClient::setProperty(Window window, const std::string& property, const std::string& type,
                              int format, const std::vector<long>& items) {
    // Xlib takes format 32 items as longs, 16 as shorts and 8 as chars.
    std::vector<unsigned char> bytes;
    std::vector<short> shorts;
    const unsigned char* data = reinterpret_cast<const unsigned char*>(items.data());
    if (format == 16) {
        shorts.assign(items.begin(), items.end());
        data = reinterpret_cast<const unsigned char*>(shorts.data());
    } else if (format == 8) {
        bytes.assign(items.begin(), items.end());
        data = bytes.data();
    }
    XChangeProperty(m_display, window, XInternAtom(m_display, property.c_str(), False),
                    XInternAtom(m_display, type.c_str(), False), format, PropModeReplace, data,
                    static_cast<int>(items.size()));
    sync();
}

void OtherClient::setMonitor(const std::string& name, const MonitorGeometry& geometry) {
    SetRandrMonitor(m_display, name, geometry, None);
    sync();
}

void OtherClient::deleteMonitor(const std::string& name) {
    XRRDeleteMonitor(m_display, root(), XInternAtom(m_display, name.c_str(), False));
    sync();
}

void OtherClient::iconify(Window window) {
    XUnmapWindow(m_display, window);
    setProperty(window, "WM_STATE", "WM_STATE", 32, {kIconicState, 0});
}

void OtherClient::restore(Window window) {
    setProperty(window, "WM_STATE", "WM_STATE", 32, {kNormalState, 0});
    XMapWindow(m_display, window);
    sync();
}

long OtherClient::resourcesOfOwner(Window window) {
    int clientCount = 0;
    XResClient* clients = nullptr;
    if (XResQueryClients(m_display, &clientCount, &clients) == 0) {
        return -1;
    }
    long total = -1;
    for (int i = 0; i < clientCount; ++i) {
        if ((window & ~clients[i].resource_mask) != clients[i].resource_base) {
            continue;
        }
        int typeCount = 0;
        XResType* types = nullptr;
        if (XResQueryClientResources(m_display, clients[i].resource_base, &typeCount, &types) !=
            0) {
            total = 0;
            for (int t = 0; t < typeCount; ++t) {
                total += static_cast<long>(types[t].count);
            }
            XFree(types);
        }
        break;
    }
    XFree(clients);
    return total;
}

} // namespace kestrove::e2e
