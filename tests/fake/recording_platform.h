// A platform for unit tests: it plays a scripted system (monitors, display
// devices, window sizes, a version file) and records what the program made of
// it (title, client size, timer, the magnifier's monitor, source, zoom and
// place, menu entries, dialogs made), and the calls made to it, in order, as
// readable text. Tests check the outcome; the calls only where their order is
// the behaviour. Each group of the seam has its own small fake;
// they share the script and the record (RecordingState).
#pragma once

#include "platform/platform.h"
#include "tests/fake/recording_dialogs.h"
#include "tests/fake/recording_displays.h"
#include "tests/fake/recording_magnifier.h"
#include "tests/fake/recording_resources.h"
#include "tests/fake/recording_shell.h"
#include "tests/fake/recording_state.h"
#include "tests/fake/recording_windowing.h"

namespace kestrove::testing {

class RecordingPlatform : public RecordingState {
public:
    // Installs itself as the process's platform until destroyed.
    RecordingPlatform();
    ~RecordingPlatform();
    RecordingPlatform(const RecordingPlatform&) = delete;
    RecordingPlatform& operator=(const RecordingPlatform&) = delete;

private:
    RecordingDisplays m_displays{*this};
    RecordingMagnifier m_magnifier{*this};
    RecordingWindowing m_windowing{*this};
    RecordingDialogs m_dialogs{*this};
    RecordingResources m_resources{*this};
    RecordingShell m_shell{*this};
    Platform m_platform{m_displays, m_magnifier, m_windowing, m_dialogs, m_resources, m_shell};
};

} // namespace kestrove::testing
