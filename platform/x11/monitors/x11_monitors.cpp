#include "platform/x11/monitors/x11_monitors.h"

#include "common/fixed_text.h"
#include "common/utf.h"
#include "platform/x11/dialogs/work_area.h"
#include "platform/x11/monitors/primary_monitor.h"
#include "platform/x11/monitors/randr_monitor_list.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace kestrove::x11 {

namespace {

constexpr std::uint32_t kAttachedToDesktop = 0x1;
constexpr std::uint32_t kPrimaryDevice = 0x4;

template <typename T> struct XFreeDeleter {
    void operator()(T* p) const { XFree(p); }
};
template <typename T> using XPtr = std::unique_ptr<T, XFreeDeleter<T>>;

bool HasMonitorsRequest(Display* display) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase) &&
           XRRQueryVersion(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 5));
}

std::string AtomText(Display* display, Atom atom) {
    if (atom == None) {
        return {};
    }
    XPtr<char> name(XGetAtomName(display, atom));
    return name ? std::string(name.get()) : std::string();
}

} // namespace

std::vector<MonitorRecord> ReadRandrMonitors(Display* display) {
    if (!HasMonitorsRequest(display)) {
        return {};
    }
    int count = 0;
    XRRMonitorInfo* raw = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    if (raw == nullptr) {
        return {};
    }
    std::vector<MonitorRecord> monitors =
        ToMonitorRecords({raw, static_cast<std::size_t>(std::max(count, 0))},
                         [&](Atom name) { return AtomText(display, name); });
    XRRFreeMonitors(raw);
    return monitors;
}

X11Monitors::X11Monitors(Display* display)
    : m_display(display), m_hasMonitors(HasMonitorsRequest(display)) {}

std::vector<X11Monitors::Monitor> X11Monitors::query() const {
    std::vector<Monitor> monitors;
    if (m_hasMonitors) {
        monitors = ReadRandrMonitors(m_display);
        if (!monitors.empty()) {
            // The primary leads the list, as the server lists a primary it names.
            std::vector<MonitorPlacement> placements;
            for (const Monitor& m : monitors) {
                placements.push_back(MonitorPlacement{m.rect, m.primary});
            }
            const auto primary = monitors.begin() + PrimaryMonitorIndex(placements);
            primary->primary = true;
            std::rotate(monitors.begin(), primary, primary + 1);
            return monitors;
        }
    }
    // Without monitors from RandR the whole screen is the one monitor.
    Screen* screen = DefaultScreenOfDisplay(m_display);
    monitors.push_back(Monitor{
        None, "screen", Rect{0, 0, WidthOfScreen(screen), HeightOfScreen(screen)}, true, None});
    return monitors;
}

void X11Monitors::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    m_enumerated.clear();
    for (const Monitor& m : query()) {
        const MonitorHandle handle = report(m);
        m_enumerated.push_back(handle);
        Rect rect = m.rect;
        if (proc(handle, 0, &rect, data) == 0) {
            break;
        }
    }
}

MonitorHandle X11Monitors::report(const Monitor& monitor) {
    auto known = std::find_if(m_known.begin(), m_known.end(),
                              [&](const Known& k) { return k.name == monitor.name; });
    if (known == m_known.end()) {
        known = m_known.insert(m_known.end(), Known{monitor.name, {monitor.nameText, {}, {}}});
    }
    known->identity.rect = monitor.rect;
    return static_cast<MonitorHandle>(known - m_known.begin()) + 1;
}

MonitorIdentity X11Monitors::identityOf(MonitorHandle monitor, const Rect& source) const {
    const bool given = monitor != 0 && monitor <= m_known.size();
    MonitorIdentity shown{given ? m_known[monitor - 1].identity.name : std::string(), source, {}};
    for (const MonitorHandle other : m_enumerated) {
        if (other != monitor) {
            shown.others.push_back(m_known[other - 1].identity);
        }
    }
    return shown;
}

bool X11Monitors::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    if (monitor == 0 || monitor > m_known.size()) {
        return false;
    }
    const Atom name = m_known[monitor - 1].name;
    const std::vector<Monitor> monitors = query();
    const auto found = std::find_if(monitors.begin(), monitors.end(),
                                    [&](const Monitor& m) { return m.name == name; });
    if (found == monitors.end()) {
        return false; // the monitor is gone since the enumeration
    }
    report(*found);
    info.rcMonitor = found->rect;
    info.rcWork = found->rect;
    if (const auto work = ReadWorkArea(m_display, DefaultRootWindow(m_display))) {
        const Rect inside = Intersection(found->rect, *work);
        if (!IsEmpty(inside)) {
            info.rcWork = inside;
        }
    }
    info.dwFlags = found->primary ? kMonitorInfoPrimary : 0;
    StoreFixedText(info.szDevice, FromUtf8(found->nameText));
    return true;
}

std::string X11Monitors::providerName(XID output) const {
    if (output == None) {
        return {};
    }
    Window root = DefaultRootWindow(m_display);
    std::unique_ptr<XRRProviderResources, decltype(&XRRFreeProviderResources)> providers(
        XRRGetProviderResources(m_display, root), &XRRFreeProviderResources);
    if (!providers) {
        return {};
    }
    std::unique_ptr<XRRScreenResources, decltype(&XRRFreeScreenResources)> resources(
        XRRGetScreenResourcesCurrent(m_display, root), &XRRFreeScreenResources);
    if (!resources) {
        return {};
    }
    for (int p = 0; p < providers->nproviders; ++p) {
        std::unique_ptr<XRRProviderInfo, decltype(&XRRFreeProviderInfo)> provider(
            XRRGetProviderInfo(m_display, resources.get(), providers->providers[p]),
            &XRRFreeProviderInfo);
        if (!provider) {
            continue;
        }
        for (int o = 0; o < provider->noutputs; ++o) {
            if (provider->outputs[o] == output) {
                return std::string(provider->name, static_cast<std::size_t>(provider->nameLen));
            }
        }
    }
    return {};
}

bool X11Monitors::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    const std::vector<Monitor> monitors = query();
    if (index >= monitors.size()) {
        return false;
    }
    const Monitor& m = monitors[index];
    // The caller reuses one record for every index: nothing of an earlier
    // device may remain in it.
    StoreFixedText(device.DeviceName, FromUtf8(m.nameText));
    StoreFixedText(device.DeviceString, FromUtf8(m_hasMonitors ? providerName(m.firstOutput) : ""));
    device.StateFlags = kAttachedToDesktop | (m.primary ? kPrimaryDevice : 0);
    StoreFixedText(device.DeviceID, u"");
    StoreFixedText(device.DeviceKey, u"");
    return true;
}

} // namespace kestrove::x11
