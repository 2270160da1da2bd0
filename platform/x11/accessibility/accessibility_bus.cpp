#include "platform/x11/accessibility/accessibility_bus.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace kestrove::x11::a11y {

namespace {

// Asking the session bus never holds the window back for long.
constexpr int kBusCallTimeoutMs = 2000;

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

bool NameInList(GVariant* reply, std::string_view wanted) {
    GVariantIter* names = nullptr;
    g_variant_get(reply, "(as)", &names);
    const gchar* name = nullptr;
    bool found = false;
    while (!found && g_variant_iter_next(names, "&s", &name)) {
        found = wanted == name;
    }
    g_variant_iter_free(names);
    return found;
}

GVariant* CallBus(GDBusConnection* bus, const char* method, GVariant* arguments) {
    return g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
        arguments, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kBusCallTimeoutMs, nullptr, nullptr);
}

bool SessionBusOffersLauncher() {
    const std::optional<std::string> address = SessionBusAddress();
    if (!address) {
        return false;
    }
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address->c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (bus == nullptr) {
        return false;
    }
    bool offered = false;
    if (GVariant* owned = CallBus(bus, "NameHasOwner", g_variant_new("(s)", "org.a11y.Bus"))) {
        gboolean has = FALSE;
        g_variant_get(owned, "(b)", &has);
        offered = has != FALSE;
        g_variant_unref(owned);
    }
    if (!offered) {
        if (GVariant* activatable = CallBus(bus, "ListActivatableNames", nullptr)) {
            offered = NameInList(activatable, "org.a11y.Bus");
            g_variant_unref(activatable);
        }
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return offered;
}

} // namespace

bool AccessibilityBusAvailable(Display* display) {
    if (const char* off = std::getenv("NO_AT_BRIDGE");
        off != nullptr && std::string_view(off) == "1") {
        return false;
    }
    if (Set("AT_SPI_BUS_ADDRESS")) {
        return true;
    }
    const Atom busAtom = XInternAtom(display, "AT_SPI_BUS", True);
    if (busAtom != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        const int status =
            XGetWindowProperty(display, DefaultRootWindow(display), busAtom, 0, 0, False,
                               AnyPropertyType, &type, &format, &count, &after, &data);
        if (data != nullptr) {
            XFree(data);
        }
        if (status == Success && type != None) {
            return true;
        }
    }
    return SessionBusOffersLauncher();
}

} // namespace kestrove::x11::a11y
