// A platform for unit tests: it plays a scripted system (monitors, display
// devices, window sizes, a version file) and records the calls made to it,
// in order, as readable text. Each group of the seam has its own small fake;
// they share the script and the record kept here.
#pragma once

#include "platform/platform.h"
#include "tests/fake/recording_dialogs.h"
#include "tests/fake/recording_displays.h"
#include "tests/fake/recording_magnifier.h"
#include "tests/fake/recording_resources.h"
#include "tests/fake/recording_shell.h"
#include "tests/fake/recording_windowing.h"

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

class RecordingPlatform {
public:
    // Installs itself as the process's platform until destroyed.
    RecordingPlatform();
    ~RecordingPlatform();
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

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

private:
    RecordingDisplays m_displays{*this};
    RecordingMagnifier m_magnifier{*this};
    RecordingWindowing m_windowing{*this};
    RecordingDialogs m_dialogs{*this};
    RecordingResources m_resources{*this};
    RecordingShell m_shell{*this};
    Platform m_platform{m_displays, m_magnifier, m_windowing, m_dialogs, m_resources, m_shell};
};

std::string Describe(const Rect& rc);

} // namespace kestrove::testing
