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
    std::vector<std::u16string> menuEntries;
    bool timerRunning = false;
    bool restartSupported = false;
    std::vector<DialogEvents*> openDialogs; // innermost last

    // Calls recorded since the last clear, then cleared.
    std::vector<std::string> takeCalls();
    void record(std::string call);

    static constexpr WindowHandle kDialog = 0x100;
    static constexpr WindowHandle kMagnifier = 0x200;
};

std::string Describe(const Rect& rc);

} // namespace kestrove::testing
