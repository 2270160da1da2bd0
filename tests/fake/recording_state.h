// What the recording fake plays and what it saw: the scripted system and
// the record of calls, shared by the fake's groups.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/types.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrove::testing {

// An entry appended to the system menu.
struct MenuEntry {
    std::uint32_t flags = 0;
    std::uintptr_t id = 0;
    std::u16string text;
    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

struct FakeMonitor {
    Rect rect;
    Rect work;
    std::uint32_t flags = 0;
    std::u16string device;
    bool infoFails = false; // GetMonitorInfoW fails for it
};

class RecordingState {
public:
    // Scripted system ----------------------------------------------------------
    std::vector<FakeMonitor> monitors;
    std::vector<DisplayDevice> devices;
    Rect client{0, 0, 640, 400};   // the dialog's client area
    int frameWidth = 0;            // what calcWindowRect adds on each side
    int maxClientHeight = 1 << 20; // the system's limit on the window
    bool magnifierCreated = true;  // createMagnifierWindow gives a window
    bool dialogCreated = true;     // createDialog gives a window
    bool iconic = false;
    std::u16string modulePath = u"/opt/kestrove/Kestrove";
    std::vector<unsigned char> versionFile; // empty: no version information
    bool versionReadFails = false;          // the read fails after the size was given
    std::map<int, std::u16string> strings;  // loadString; empty map: res::kStrings
    bool useResourceStrings = true;
    bool systemMenu = true;
    bool helpStarts = false;
    // Runs inside runModalLoop, as the user's actions during the modal run.
    std::function<void(DialogEvents&)> duringModal;

    // What happened --------------------------------------------------------------
    std::vector<std::string> calls;
    std::map<int, std::u16string> dialogItems;
    std::u16string title;
    std::vector<std::u16string> messageBoxes;
    std::vector<MenuEntry> menuEntries;
    std::vector<int> dialogsMade; // template ids, in the order made
    bool timerRunning = false;
    bool restartSupported = false;
    // The magnifier child as last configured: the monitor and rectangle it
    // shows, its zoom (the transform's scale), where it lies in the dialog.
    MonitorHandle sourceMonitor = 0;
    Rect source;
    float zoom = 0.0f;
    Rect magnifierArea;
    int magnifierRepaints = 0; // InvalidateRect on the child
    IconHandle bigIcon = 0;
    IconHandle smallIcon = 0;
    std::vector<DialogEvents*> openDialogs; // innermost last

    // Calls recorded since the last clear, then cleared.
    std::vector<std::string> takeCalls();
    void record(std::string call);

    static constexpr WindowHandle kDialog = 0x100;
    static constexpr WindowHandle kMagnifier = 0x200;
};

std::string Describe(const Rect& rc);

} // namespace kestrove::testing
