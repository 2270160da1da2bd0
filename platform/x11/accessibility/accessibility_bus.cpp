#include "platform/x11/accessibility/accessibility_bus.h"

#include <X11/Xatom.h>
#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kestrove::x11::a11y {

namespace {

// Asking the session bus (and starting the launcher) never holds the
// window back for long.
constexpr int kBusCallTimeoutMs = 3000;

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// The session bus as libdbus finds it, without starting one (no X11
// autolaunch): the environment's address, else the user bus socket.
std::optional<std::string> SessionBusAddress() {
    if (Set("DBUS_SESSION_BUS_ADDRESS")) {
        return std::string(std::getenv("DBUS_SESSION_BUS_ADDRESS"));
    }
    if (!Set("XDG_RUNTIME_DIR")) {
        return std::nullopt;
    }
    const std::string socket = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/bus";
    struct stat info {};
    if (::stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        return std::nullopt;
    }
    return "unix:path=" + socket;
}

// org.a11y.Bus.GetAddress on the session bus, within the time limit.
std::optional<std::string> LauncherAddress() {
    const std::optional<std::string> address = SessionBusAddress();
    if (!address) {
        return std::nullopt;
    }
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address->c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (bus == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    if (GVariant* reply = g_dbus_connection_call_sync(
            bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
            G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs, nullptr, nullptr)) {
        const gchar* text = nullptr;
        g_variant_get(reply, "(&s)", &text);
        if (text != nullptr && *text != '\0') {
            found = text;
        }
        g_variant_unref(reply);
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return found;
}

} // namespace

std::optional<std::string> FindAccessibilityBus(Display* display) {
    if (const char* off = std::getenv("NO_AT_BRIDGE");
        off != nullptr && std::string_view(off) == "1") {
        return std::nullopt;
    }
    if (Set("AT_SPI_BUS_ADDRESS")) {
        return std::string(std::getenv("AT_SPI_BUS_ADDRESS"));
    }
    if (const Atom busAtom = XInternAtom(display, "AT_SPI_BUS", True); busAtom != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int status =
            XGetWindowProperty(display, DefaultRootWindow(display), busAtom, 0, 1024, False,
                               XA_STRING, &type, &format, &count, &after, &data);
        std::optional<std::string> address;
        // Another client's property: only a whole string of bytes is taken.
        if (status == Success && type == XA_STRING && format == 8 && after == 0 && count > 0 &&
            data != nullptr) {
            address = std::string(reinterpret_cast<const char*>(data), count);
        }
        if (data != nullptr) {
            XFree(data);
        }
        if (address) {
            return address;
        }
    }
    return LauncherAddress();
}

} // namespace kestrove::x11::a11y
