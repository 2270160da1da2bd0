#include "platform/x11/accessibility/atk_toolkit.h"

#include <map>

namespace kestrove::x11::a11y {

namespace {

AtkObject* g_root = nullptr;

AtkObject* Root() {
    return g_root;
}

const gchar* ToolkitName() {
    return "Xlib";
}

const gchar* ToolkitVersion() {
    return "11";
}

// atk-bridge listens to ATK's signals by "Toolkit:Type:signal" names; they
// become emission hooks on the signal of that type (or interface).
struct Listener {
    guint signal;
    gulong hook;
};
std::map<guint, Listener> g_listeners;
guint g_nextListener = 1;

guint AddGlobalListener(GSignalEmissionHook listener, const gchar* eventType) {
    gchar** parts = g_strsplit(eventType, ":", 3);
    guint id = 0;
    if (g_strv_length(parts) == 3) {
        const GType type = g_type_from_name(parts[1]);
        if (type != 0) {
            // Interfaces' signals exist once their default vtable does.
            gpointer vtable = G_TYPE_IS_INTERFACE(type) ? g_type_default_interface_ref(type)
                                                        : g_type_class_ref(type);
            const guint signal = g_signal_lookup(parts[2], type);
            if (signal != 0) {
                id = g_nextListener++;
                g_listeners[id] = {
                    signal, g_signal_add_emission_hook(signal, 0, listener, nullptr, nullptr)};
            }
            if (G_TYPE_IS_INTERFACE(type)) {
                g_type_default_interface_unref(vtable);
            } else {
                g_type_class_unref(vtable);
            }
        }
    }
    g_strfreev(parts);
    return id;
}

void RemoveGlobalListener(guint id) {
    if (const auto found = g_listeners.find(id); found != g_listeners.end()) {
        g_signal_remove_emission_hook(found->second.signal, found->second.hook);
        g_listeners.erase(found);
    }
}

} // namespace

void InstallAtkToolkit(AtkObject* root) {
    g_root = root;
    auto* util = static_cast<AtkUtilClass*>(g_type_class_ref(ATK_TYPE_UTIL));
    util->get_root = Root;
    util->get_toolkit_name = ToolkitName;
    util->get_toolkit_version = ToolkitVersion;
    util->add_global_event_listener = AddGlobalListener;
    util->remove_global_event_listener = RemoveGlobalListener;
    g_type_class_unref(util);
}

} // namespace kestrove::x11::a11y
